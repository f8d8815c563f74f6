#include "randombus.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <set>

namespace mbussim {

namespace {
const char *const kManufacturers[] = {"KAM", "ZRI", "ABB", "ELS", "SEN", "HYD", "ITW", "LUG"};

enum class Kind { Volume, Heat, Electricity };
struct Medium {
    std::uint8_t code;
    Kind kind;
};
const Medium kMedia[] = {{0x07, Kind::Volume}, {0x16, Kind::Volume}, {0x06, Kind::Volume},
                         {0x03, Kind::Volume}, {0x04, Kind::Heat},   {0x02, Kind::Electricity}};

// std::mt19937 is the same everywhere; the standard distributions are not, so
// values are drawn with a plain modulo.
class Draw {
public:
    explicit Draw(unsigned seed) : m_random(seed) {}
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(m_random() % n); }
    bool coin() { return below(2) == 1; }

private:
    std::mt19937 m_random;
};

Record bcd(std::uint8_t dif, std::uint8_t vif, std::uint64_t value)
{
    const int digits = (dif & 0x0F) == 0x0C ? 8 : (dif & 0x0F) == 0x0B ? 6 : 4;
    return {{dif}, {vif}, toBcd(value, digits)};
}

// Date (type G) and date with time (type F); the year counts from 2000.
Record date(std::uint8_t dif, int year, int month, int day)
{
    return {{dif},
            {0x6C},
            {static_cast<std::uint8_t>(day | (year & 7) << 5), static_cast<std::uint8_t>(month | (year >> 3) << 4)}};
}

Record dateTime(int year, int month, int day, int hour, int minute)
{
    return {{0x04},
            {0x6D},
            {static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(hour),
             static_cast<std::uint8_t>(day | (year & 7) << 5), static_cast<std::uint8_t>(month | (year >> 3) << 4)}};
}

std::vector<Record> recordsFor(Kind kind, std::uint32_t idValue, Draw &draw)
{
    std::vector<Record> r;
    if (draw.coin())
        r.push_back(bcd(0x0C, 0x78, idValue)); // fabrication number
    const std::size_t main = r.size();
    const std::uint32_t counter = draw.below(10'000'000);
    switch (kind) {
    case Kind::Volume:
        r.push_back(bcd(0x0C, 0x13, counter)); // litres
        if (draw.coin())
            r.push_back(bcd(0x0B, 0x3B, draw.below(3000))); // flow, l/h
        break;
    case Kind::Heat:
        r.push_back(bcd(0x0C, 0x06, counter / 100));         // kWh
        r.push_back(bcd(0x0C, 0x14, counter / 3));           // 0.01 m3
        r.push_back(bcd(0x0B, 0x2B, draw.below(50'000)));    // power, W
        r.push_back(bcd(0x0A, 0x5A, 400 + draw.below(400))); // flow temperature, 0.1 C
        r.push_back(bcd(0x0A, 0x5E, 250 + draw.below(150))); // return temperature
        break;
    case Kind::Electricity:
        r.push_back(bcd(0x0C, 0x05, counter)); // 0.1 kWh
        r.push_back(bcd(0x0B, 0x2B, draw.below(20'000)));
        break;
    }
    const int year = 20 + static_cast<int>(draw.below(6));
    if (draw.coin()) { // the counter at the last due date
        Record due = r[main];
        due.dib[0] |= 0x40; // storage 1
        storeUnsigned(due, readUnsigned(due).value_or(0) / 2);
        r.push_back(due);
        r.push_back(date(0x42, year - 1, 12, 31));
    }
    r.push_back(dateTime(year, 1 + static_cast<int>(draw.below(12)), 1 + static_cast<int>(draw.below(28)),
                         static_cast<int>(draw.below(24)), static_cast<int>(draw.below(60))));
    return r;
}
} // namespace

std::vector<MeterConfig> randomMeters(int n, unsigned seed)
{
    n = std::clamp(n, 0, kMaxRandomMeters);
    Draw draw(seed);
    std::set<std::uint32_t> ids;
    std::vector<MeterConfig> meters;
    meters.reserve(static_cast<std::size_t>(n));
    while (static_cast<int>(meters.size()) < n) {
        const std::uint32_t idValue = draw.below(100'000'000);
        if (!ids.insert(idValue).second)
            continue;
        MeterConfig m;
        m.name = "random " + std::to_string(meters.size() + 1);
        m.address = kNoAddress;
        const Bytes id = toBcd(idValue, 8);
        std::copy(id.begin(), id.end(), m.id.begin());
        const char *manufacturer = kManufacturers[draw.below(static_cast<std::uint32_t>(std::size(kManufacturers)))];
        packManufacturer(manufacturer, m.manufacturer);
        m.version = static_cast<std::uint8_t>(1 + draw.below(0x40));
        const Medium &medium = kMedia[draw.below(static_cast<std::uint32_t>(std::size(kMedia)))];
        m.medium = medium.code;
        m.access = static_cast<std::uint8_t>(draw.below(256));
        m.records = recordsFor(medium.kind, idValue, draw);
        meters.push_back(std::move(m));
    }
    return meters;
}

} // namespace mbussim
