// readPropertyList over arbitrary bytes: XML, binary ("bplist00") and anything else.
#include "FuzzInput.h"

#include "formats/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QVariantMap> map = tandrel::readPropertyList(tandrel::fuzz::rawBytes(data, size));
    // Walk the result as callers do, so a broken value would be touched.
    if (map) {
        for (auto it = map->cbegin(); it != map->cend(); ++it)
            (void)it.value().toString();
    }
    return 0;
}
