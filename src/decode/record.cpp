#include "record.h"

#include <charconv>
#include <cmath>

namespace decode {

std::string_view quantityName(Quantity quantity)
{
    switch (quantity) {
    case Quantity::Energy:
        return "Energy";
    case Quantity::Volume:
        return "Volume";
    case Quantity::Power:
        return "Power";
    case Quantity::VolumeFlow:
        return "Volume flow";
    case Quantity::FlowTemperature:
        return "Flow temperature";
    case Quantity::ReturnTemperature:
        return "Return temperature";
    case Quantity::TemperatureDifference:
        return "Temperature difference";
    case Quantity::ExternalTemperature:
        return "External temperature";
    case Quantity::Pressure:
        return "Pressure";
    case Quantity::Date:
        return "Date";
    case Quantity::DateTime:
        return "Date and time";
    case Quantity::OnTime:
        return "On time";
    case Quantity::OperatingTime:
        return "Operating time";
    case Quantity::HcaUnits:
        return "HCA units";
    case Quantity::AveragingDuration:
        return "Averaging duration";
    case Quantity::ActualityDuration:
        return "Actuality duration";
    case Quantity::FabricationNumber:
        return "Fabrication number";
    case Quantity::Voltage:
        return "Voltage";
    case Quantity::Current:
        return "Current";
    case Quantity::ManufacturerSpecific:
        return "Manufacturer specific";
    case Quantity::Unknown:
    case Quantity::Other:
    case Quantity::PlainText:
    case Quantity::Readout:
        break;
    }
    return {};
}

namespace {

// number x 10^exp10, dividing for negative exponents: 2295 x 10^-1 is 229.5
// exactly as a double, where a multiplication by 0.1 is not.
double scaled(double number, int exp10)
{
    const double power = std::pow(10.0, std::abs(exp10));
    return exp10 < 0 ? number / power : number * power;
}

} // namespace

std::optional<double> rawNumber(const Record &record)
{
    if (const auto *integer = std::get_if<std::int64_t>(&record.value))
        return double(*integer);
    if (const auto *real = std::get_if<float>(&record.value); real && std::isfinite(*real)) {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, *real);
        double decimal = 0;
        std::from_chars(text, written.ptr, decimal);
        return decimal;
    }
    return std::nullopt;
}

std::optional<double> scaledValue(const Record &record)
{
    const std::optional<double> number = rawNumber(record);
    if (!number)
        return std::nullopt;
    return scaled(*number, record.unit.exp10);
}

} // namespace decode
