#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace tandrel::fuzz {

// The fuzzer's buffer as a QByteArray without a copy, so a read one byte past the
// end lands outside the allocation and AddressSanitizer reports it.
inline QByteArray rawBytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace tandrel::fuzz
