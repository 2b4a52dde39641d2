#pragma once

#include <QByteArray>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <utility>

// A tool's output read on a worker while the tool is still writing it, so the reading overlaps the run
// instead of following it. `Reading` takes the pieces in order (add) and gives the result (finish).
// Pieces are handed over on the owner's thread as they arrive; each batch is read by a continuation of
// the one before, so the pieces are read in order, one at a time, and no thread ever waits on the tool.
// One left behind by a load that was given up ends by itself.
template <typename Reading> class StreamedReading {
public:
    using Result = decltype(std::declval<Reading &>().finish());

    // The arguments make the `Reading`.
    template <typename... Arguments>
    explicit StreamedReading(Arguments &&...arguments)
        : m_reading(std::make_shared<Reading>(std::forward<Arguments>(arguments)...))
    { }
    StreamedReading(const StreamedReading &) = delete;
    StreamedReading &operator=(const StreamedReading &) = delete;

    void add(QByteArray piece)
    {
        // Tools write in small pieces; handed over in batches, a worker is woken a few times, not thousands.
        m_batch += piece;
        if (m_batch.size() >= batchSize)
            handOver();
    }
    // No more pieces: the result, once what came is read.
    QFuture<Result> end()
    {
        handOver();
        return m_read.then(QtFuture::Launch::Async, [reading = m_reading] { return reading->finish(); });
    }

private:
    static constexpr qsizetype batchSize = 64 * 1024;

    void handOver()
    {
        if (m_batch.isEmpty())
            return;
        m_read = m_read.then(
            QtFuture::Launch::Async, [reading = m_reading, batch = std::exchange(m_batch, QByteArray())]() mutable {
                reading->add(std::move(batch));
            });
    }

    std::shared_ptr<Reading> m_reading;
    QFuture<void> m_read = QtFuture::makeReadyFuture();
    QByteArray m_batch;
};
