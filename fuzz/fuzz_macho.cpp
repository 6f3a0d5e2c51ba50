// readEntitlementsFromBytes over arbitrary bytes. The first byte picks the preferred
// CPU for fat files; the rest is the file. Entitlements that come back go through
// readPropertyList, as sandbox detection does with them.
#include "FuzzInput.h"

#include "formats/MachOSignature.h"
#include "formats/PropertyList.h"

namespace {

tandrel::MachOCpu preferredCpu(uint8_t selector)
{
    switch (selector % 4) {
    case 0:
        return tandrel::MachOCpu::X86_64;
    case 1:
        return tandrel::MachOCpu::Arm64;
    case 2:
        return static_cast<tandrel::MachOCpu>(0x00000007); // i386: in no seed's preference list
    default:
        return static_cast<tandrel::MachOCpu>(0x01000012); // ppc64
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray file = tandrel::fuzz::rawBytes(data + 1, size - 1);
    const std::optional<QByteArray> entitlements
        = tandrel::readEntitlementsFromBytes(file, preferredCpu(data[0]));
    if (entitlements)
        (void)tandrel::readPropertyList(*entitlements);
    return 0;
}
