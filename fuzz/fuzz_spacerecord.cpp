// readSpaceRecord over arbitrary bytes, and the strict date-time reader over the same
// bytes taken as text.
#include "FuzzInput.h"

#include "model/SpaceRecord.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = tandrel::fuzz::rawBytes(data, size);
    const tandrel::SpaceRecordFacts facts = tandrel::readSpaceRecord(bytes);
    if (facts.createdAt)
        (void)tandrel::formatIsoDateTime(*facts.createdAt);
    if (const auto moment = tandrel::parseIsoDateTime(QString::fromUtf8(bytes)))
        (void)tandrel::formatIsoDateTime(*moment);
    return 0;
}
