#pragma once

#include <QByteArray>
#include <QFuture>
#include <QList>
#include <QMutex>
#include <QWaitCondition>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>
#include <utility>

// A tool's output read on a worker while the tool is still writing it, so the reading overlaps the run
// instead of following it. `Reading` takes the pieces in order (add) and gives the result (finish).
// Pieces are handed over on the owner's thread as they arrive; a worker reads what has come and returns,
// so no thread ever waits on the tool, and one left behind by a load that was given up ends by itself.
template <typename Reading> class StreamedReading {
public:
    using Result = decltype(std::declval<Reading &>().finish());

    // The arguments make the `Reading`.
    template <typename... Arguments>
    explicit StreamedReading(Arguments &&...arguments)
        : m_shared(std::make_shared<Shared>(std::forward<Arguments>(arguments)...))
    { }
    StreamedReading(const StreamedReading &) = delete;
    StreamedReading &operator=(const StreamedReading &) = delete;

    void add(QByteArray piece)
    {
        // Tools write in small pieces; handed over in batches, the worker is woken a few times, not thousands.
        m_batch += piece;
        if (m_batch.size() >= batchSize)
            handOver();
    }
    // No more pieces: the result, once what came is read.
    QFuture<Result> end()
    {
        handOver();
        return QtConcurrent::run([shared = m_shared] {
            QMutexLocker lock(&shared->mutex);
            while (shared->reading)
                shared->done.wait(&shared->mutex);
            shared->reading = true;
            lock.unlock();
            shared->readWaiting();
            return shared->result.finish();
        });
    }

private:
    static constexpr qsizetype batchSize = 64 * 1024;

    void handOver()
    {
        if (m_batch.isEmpty())
            return;
        QMutexLocker lock(&m_shared->mutex);
        m_shared->waiting.append(std::exchange(m_batch, QByteArray()));
        if (!m_shared->reading) {
            m_shared->reading = true;
            (void)QtConcurrent::run([shared = m_shared] { shared->readWaiting(); });
        }
    }

    struct Shared {
        template <typename... Arguments>
        explicit Shared(Arguments &&...arguments) : result(std::forward<Arguments>(arguments)...)
        { }

        QMutex mutex;
        QWaitCondition done;
        QList<QByteArray> waiting;
        // A worker is reading; only one at a time touches `result`.
        bool reading = false;
        Reading result;

        void readWaiting()
        {
            for (;;) {
                QList<QByteArray> pieces;
                {
                    QMutexLocker lock(&mutex);
                    if (waiting.isEmpty()) {
                        reading = false;
                        done.wakeAll();
                        return;
                    }
                    pieces.swap(waiting);
                }
                for (QByteArray &piece : pieces)
                    result.add(std::move(piece));
            }
        }
    };

    std::shared_ptr<Shared> m_shared;
    QByteArray m_batch;
};
