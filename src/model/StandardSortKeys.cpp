#include "TextUtilSort.h"

#include "TextUtil.h"

#include <unicode/ucol.h>

#include <cstring>

namespace TextUtil {

StandardSortKeys::StandardSortKeys()
{
    // The collator `standardCollator()` makes: its locale, numbers by value, case ignored (the
    // secondary strength), punctuation compared, text normalized first. Kept in step with it by test.
    QString name = workingLocale().bcp47Name();
    name.replace(u'-', u'_');
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(name.toLatin1().constData(), &status);
    if (U_FAILURE(status)) {
        m_collator = nullptr;
        return;
    }
    ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(m_collator, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
}

StandardSortKeys::~StandardSortKeys()
{
    if (m_collator)
        ucol_close(m_collator);
}

void StandardSortKeys::reserve(size_t count)
{
    // A path's key takes some 20 to 30 bytes.
    m_offsets.reserve(count);
    m_bytes.reserve(count * 32);
}

void StandardSortKeys::add(QStringView text)
{
    m_offsets.push_back(m_bytes.size());
    if (!m_collator) {
        // Without a collator every text sorts alike, as QCollator's keys then do.
        m_bytes.push_back('\0');
        return;
    }
    const auto *characters = reinterpret_cast<const UChar *>(text.utf16());
    const auto length = int32_t(text.size());
    // Written straight into the buffer where it fits in what is left of the room made for it.
    const size_t start = m_bytes.size();
    size_t room = std::max<size_t>(64, size_t(text.size()) * 2 + 16);
    m_bytes.resize(start + room);
    auto size = size_t(
        ucol_getSortKey(m_collator, characters, length, reinterpret_cast<uint8_t *>(&m_bytes[start]), int32_t(room)));
    if (size > room) {
        m_bytes.resize(start + size);
        size = size_t(ucol_getSortKey(
            m_collator, characters, length, reinterpret_cast<uint8_t *>(&m_bytes[start]), int32_t(size)));
    }
    // The key ends in its zero byte, which the size counts; a failed key is empty and sorts first.
    if (size == 0) {
        m_bytes[start] = '\0';
        size = 1;
    }
    m_bytes.resize(start + size);
}

} // namespace TextUtil
