#include "record_fields.h"

namespace decode {

namespace {
constexpr std::size_t kMaxDifes = 10;
constexpr std::uint8_t kExtension = 0x80;
} // namespace

RecordFields recordFields(mbus::ByteView dib)
{
    RecordFields fields;
    if (dib.empty())
        return fields;
    const std::uint8_t dif = dib[0];
    fields.function = static_cast<RecordFunction>((dif >> 4) & 0x03);
    fields.storage = (dif >> 6) & 0x01;
    bool more = dif & kExtension;
    for (std::size_t i = 1; more && i < dib.size() && i <= kMaxDifes; ++i) {
        const std::uint8_t dife = dib[i];
        const std::size_t n = i - 1;
        fields.storage |= std::uint64_t(dife & 0x0F) << (1 + 4 * n);
        fields.tariff |= std::uint32_t((dife >> 4) & 0x03) << (2 * n);
        fields.subunit |= std::uint32_t((dife >> 6) & 0x01) << n;
        more = dife & kExtension;
    }
    return fields;
}

std::string_view functionName(RecordFunction function)
{
    switch (function) {
    case RecordFunction::Instantaneous:
        return "instantaneous";
    case RecordFunction::Maximum:
        return "maximum";
    case RecordFunction::Minimum:
        return "minimum";
    case RecordFunction::DuringError:
        return "error";
    }
    return "instantaneous";
}

} // namespace decode
