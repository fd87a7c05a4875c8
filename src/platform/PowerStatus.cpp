#include "platform/PowerStatus.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

// The first line of a small attribute file, without its line end; nothing if unreadable.
std::optional<std::string> readAttribute(const fs::path &file)
{
    std::ifstream in(file);
    if (!in)
        return std::nullopt;
    std::string line;
    if (!std::getline(in, line) && line.empty())
        return std::nullopt;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::optional<long long> readNumber(const fs::path &file)
{
    const std::optional<std::string> text = readAttribute(file);
    if (!text || text->empty())
        return std::nullopt;
    long long value = 0;
    const char *begin = text->data();
    const char *end = begin + text->size();
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

// One battery's charge in percent: its "capacity", or else its energy or charge now against
// full.
std::optional<long long> batteryPercent(const fs::path &supply)
{
    if (const std::optional<long long> capacity = readNumber(supply / "capacity"))
        return *capacity;
    for (const char *kind : {"energy", "charge"}) {
        const std::optional<long long> now = readNumber(supply / (std::string(kind) + "_now"));
        const std::optional<long long> full = readNumber(supply / (std::string(kind) + "_full"));
        if (now && full && *full > 0 && *now >= 0)
            return (*now * 100 + *full / 2) / *full;
    }
    return std::nullopt;
}

class SysfsPowerStatus : public PowerStatus
{
public:
    explicit SysfsPowerStatus(std::string folder) : folder_(std::move(folder)) {}

    bool query(int &percent) override
    {
        std::error_code ec;
        if (!fs::is_directory(folder_, ec)) {
            percent = 255;  // no power-supply class at all: no battery
            return true;
        }
        std::vector<long long> charges;
        fs::directory_iterator it(folder_, ec);
        if (ec)
            return false;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec)
                return false;
            const fs::path supply = it->path();
            if (readAttribute(supply / "type").value_or(std::string()) != "Battery")
                continue;
            if (readAttribute(supply / "scope").value_or(std::string()) == "Device")
                continue;  // a peripheral's battery, not the computer's
            if (readAttribute(supply / "present").value_or(std::string("1")) == "0")
                continue;  // an empty battery bay
            const std::optional<long long> charge = batteryPercent(supply);
            if (!charge || *charge < 0 || *charge > 255)
                return false;
            charges.push_back(*charge);
        }
        if (charges.empty()) {
            percent = 255;
            return true;
        }
        long long sum = 0;
        for (long long c : charges)
            sum += c;
        const auto n = static_cast<long long>(charges.size());
        percent = int((sum + n / 2) / n);
        return true;
    }

private:
    std::string folder_;
};

#ifdef _WIN32
class WindowsPowerStatus : public PowerStatus
{
public:
    bool query(int &percent) override
    {
        SYSTEM_POWER_STATUS status;
        if (!GetSystemPowerStatus(&status))
            return false;
        percent = status.BatteryLifePercent;
        return true;
    }
};
#endif

} // namespace

std::shared_ptr<PowerStatus> makeSysfsPowerStatus(const std::string &folder)
{
    return std::make_shared<SysfsPowerStatus>(folder);
}

std::shared_ptr<PowerStatus> makeRealPowerStatus()
{
#ifdef _WIN32
    return std::make_shared<WindowsPowerStatus>();
#else
    return makeSysfsPowerStatus();
#endif
}
