// The installed devices, read from sysfs (and udev's database when udevd
// has filled it), each under the device class name the rest of the
// inventory looks for: "Computer" (the DMI record), "Display", "MEDIA",
// "Net", "DiskDrive", "CDROM", "Keyboard", "Mouse", "HID", "USB", "Battery",
// "Ports", "Printer", "SCSIAdapter", "Image", "1394", "Monitor", "PCMCIA",
// and the subsystem's own name for the rest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

struct TDevice {
    std::string DeviceClassName;
    std::string ClassDescription;  // none here: ""
    std::string ClassIcon;         // none here: ""
    std::string FriendlyName;
    std::string Description;
    std::string ClassGUID;  // none here: ""
    std::string Manufacturer;
    std::string Location;
    std::string HardwareID;
    std::string Driver;
    std::string DriverDate;  // none here: ""
    std::string DriverVersion;
    std::string DriverProvider;  // none here: ""
    std::string Service;
    std::string ServiceName;   // none here: ""
    std::string ServiceGroup;  // none here: ""
    std::int32_t ServiceType = 0;
    std::string RegKey;  // the device's sysfs path
    std::uint8_t DeviceClass = 24;
};

// The class-name table: ordinal -> name.
inline constexpr const char* kDeviceClassNames[37] = {
    "Battery", "Computer", "DiskDrive",       "Display", "CDROM",         "fdc",         "FloppyDisk",
    "GPS",     "HID",      "hdc",             "1394",    "Image",         "Infrared",    "Keyboard",
    "MediumChanger", "MTD", "Mouse",          "Modem",   "Monitor",       "MultiFunction", "MultiPortSerial",
    "Net",     "LegacyDriver", "NtApm",        "Unknown", "PCMCIA",        "Ports",       "Printer",
    "SCSIAdapter", "SmartCardReader", "MEDIA", "Volume", "System",         "TapeDrive",   "TapeController",
    "Tape",    "USB"};
inline constexpr std::uint8_t kDeviceClassUnknown = 24;
inline constexpr std::uint8_t kDeviceClassComputer = 1;
inline constexpr std::uint8_t kDeviceClassDisplay = 3;
inline constexpr std::uint8_t kDeviceClassMedia = 30;

class TDevices : public TInfoObject {
public:
    explicit TDevices(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TDevices"; }
    // Reads every device, sorted by class name without regard to case.
    void GetInfo() override;

    std::int32_t DeviceCount() const { return deviceCount_; }
    std::int32_t GetCount() const { return static_cast<std::int32_t>(records_.size()); }
    // Copies record `index`; an index out of range leaves `device` as it was.
    void GetDevice(std::int32_t index, TDevice& device) const;
    void Clear();

    // The first table entry the upper-case name starts with; 24 when none.
    static std::uint8_t GetDeviceClass(std::string_view className);

    // Adds a record under its class name (none when the name is blank).
    void Add(TDevice device);
    // Sorts the records by class name, case-insensitively.
    void Sort();

private:
    void Enumerate();

    std::vector<TDevice> records_;
    std::int32_t deviceCount_ = 0;
};

}  // namespace qv
