#include "record_values.h"

#include "record_text.h"

#include <cstdio>

namespace decode {

namespace {

std::string isoDate(const Date &date)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.fullYear(), date.month, date.day);
    return text;
}

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

std::string scaledUnitText(const Record &record)
{
    switch (record.unit.quantity) {
    case Quantity::PlainText:
        return record.plainUnit;
    case Quantity::Date:
    case Quantity::DateTime:
    case Quantity::FabricationNumber:
        return {};
    case Quantity::Voltage:
    case Quantity::Current:
        return std::string(record.unit.name); // the power of ten is in the value
    case Quantity::HcaUnits:
        return "HCA units"; // the allocator's own count, as the device table names it
    default:
        return unitText(record);
    }
}

std::optional<std::string> valueAsText(const Record &record)
{
    if (scaledValue(record))
        return std::nullopt;
    if (const auto *date = std::get_if<Date>(&record.value); date && date->valid())
        return isoDate(*date);
    if (const auto *moment = std::get_if<DateTime>(&record.value); moment && moment->valid()) {
        char time[8];
        std::snprintf(time, sizeof time, "T%02d:%02d", moment->hour, moment->minute);
        return isoDate(moment->date) + time;
    }
    if (std::holds_alternative<RawBytes>(record.value))
        return mbus::hexCompact(record.data);
    const auto *none = std::get_if<NoValue>(&record.value);
    if ((none && (*none == NoValue::NoData || *none == NoValue::Selection))
        || std::holds_alternative<float>(record.value))
        return std::nullopt;
    return trimmed(valueText(record));
}

std::string quantityText(const Record &record)
{
    const std::string_view name = quantityName(record.unit.quantity);
    return name.empty() ? scaledUnitText(record) : std::string(name);
}

} // namespace decode
