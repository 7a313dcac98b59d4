// The WinUSB INF (the build makes it from driver/kalvix-winusb.inf.in) against the library it
// serves: the meter's hardware ID, WinUSB taken from Windows' winusb.inf in the install and the
// .Services section, the interface class the library enumerates (DevGUID) as DeviceInterfaceGUIDs of type REG_MULTI_SZ, the
// version section, and the file's form (plain ASCII, every line ended by CR LF). The checker
// reads the INF the way Windows does (sections and keys in any case, %strings%, comments, the
// platform decoration of the models section), and is itself shown to catch each fault in a copy.
#include "BuildPaths.h"
#include "ScratchFiles.h"
#include "UsbTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool SameText(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string GuidText(const GUID& guid)
{
    char text[40];
    snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
             guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

// Splits at `separator` outside double quotes; a doubled quote inside quotes is a quote.
std::vector<std::string> SplitOutsideQuotes(const std::string& text, char separator)
{
    std::vector<std::string> pieces(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

struct InfChecker {
    std::vector<std::string> problems;
    std::map<std::string, std::vector<std::string>> sections; // lower-case name -> entries
    std::map<std::string, std::string> strings;               // lower-case token -> text

    void Problem(const std::string& text) { problems.push_back(text); }

    void CheckForm(const std::string& bytes)
    {
        if (bytes.empty()) {
            Problem("the file is empty");
            return;
        }
        for (size_t i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            if (c >= 0x80 || (c < 0x20 && c != '\r' && c != '\n' && c != '\t')) {
                Problem("byte " + std::to_string(i) + " is not plain ASCII");
                break;
            }
        }
        int line = 1;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const bool lineFeed = bytes[i] == '\n';
            const bool lonelyReturn = bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n');
            if ((lineFeed && (i == 0 || bytes[i - 1] != '\r')) || lonelyReturn) {
                Problem("line " + std::to_string(line) + " does not end with CR LF");
                return;
            }
            if (lineFeed)
                ++line;
        }
        if (bytes.back() != '\n')
            Problem("line " + std::to_string(line) + " (the last) does not end with CR LF");
    }

    void Parse(const std::string& bytes)
    {
        std::string section;
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos)
                end = bytes.size();
            std::string line = bytes.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            line = Trim(SplitOutsideQuotes(line, ';').front()); // what follows ';' is a comment
            if (line.empty())
                continue;
            if (line.front() == '[' && line.back() == ']') {
                section = Lower(Trim(line.substr(1, line.size() - 2)));
                sections[section];
                continue;
            }
            sections[section].push_back(line);
        }
        for (const std::string& entry : sections["strings"]) {
            const std::vector<std::string> halves = SplitOutsideQuotes(entry, '=');
            if (halves.size() == 2)
                strings[Lower(Trim(halves[0]))] = Unquote(Trim(halves[1]));
        }
        // Every %token% anywhere must be defined, used or not.
        for (const auto& [name, entries] : sections)
            if (name != "strings")
                for (const std::string& entry : entries)
                    Expand(entry);
    }

    // Quotes removed; a doubled quote inside quotes stands for a quote.
    static std::string Unquote(const std::string& text)
    {
        std::string result;
        bool quoted = false;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '"')
                result += text[i];
            else if (quoted && i + 1 < text.size() && text[i + 1] == '"')
                result += text[++i];
            else
                quoted = !quoted;
        }
        return result;
    }

    // %token% replaced by its [Strings] text, %% by a percent sign.
    std::string Expand(const std::string& text)
    {
        std::string result;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                result += text[i];
                continue;
            }
            const size_t close = text.find('%', i + 1);
            if (close == std::string::npos) {
                Problem("unpaired % in " + text);
                return result;
            }
            const std::string token = text.substr(i + 1, close - i - 1);
            if (token.empty())
                result += '%';
            else if (strings.count(Lower(token)))
                result += strings[Lower(token)];
            else
                Problem("%" + token + "% is not in [Strings]");
            i = close;
        }
        return result;
    }

    // The comma-separated fields of a value or of a plain line, unquoted and expanded.
    std::vector<std::string> Fields(const std::string& text)
    {
        std::vector<std::string> fields;
        for (const std::string& field : SplitOutsideQuotes(text, ','))
            fields.push_back(Expand(Unquote(Trim(field))));
        return fields;
    }

    const std::vector<std::string>* Section(const std::string& name)
    {
        const auto found = sections.find(Lower(name));
        if (found == sections.end()) {
            Problem("no section [" + name + "]");
            return nullptr;
        }
        return &found->second;
    }

    // Every value of `key` in the section, each as its fields.
    std::vector<std::vector<std::string>> Values(const std::string& section, const std::string& key)
    {
        std::vector<std::vector<std::string>> values;
        if (const auto* entries = Section(section)) {
            for (const std::string& entry : *entries) {
                const size_t equals = SplitOutsideQuotes(entry, '=').front().size();
                if (equals < entry.size() && SameText(Trim(entry.substr(0, equals)), key))
                    values.push_back(Fields(entry.substr(equals + 1)));
            }
        }
        return values;
    }

    std::string Single(const std::string& section, const std::string& key)
    {
        const auto values = Values(section, key);
        if (values.size() != 1 || values[0].size() != 1) {
            Problem("[" + section + "] needs one " + key + " of one field, has " + std::to_string(values.size()));
            return "";
        }
        return values[0][0];
    }

    void Expect(const std::string& section, const std::string& key, const std::string& wanted)
    {
        const std::string value = Single(section, key);
        if (!SameText(value, wanted))
            Problem("[" + section + "] " + key + " is \"" + value + "\", not \"" + wanted + "\"");
    }

    // The section holds `key` with `wanted` among the fields of one of its values.
    void ExpectListed(const std::string& section, const std::string& key, const std::string& wanted)
    {
        for (const auto& fields : Values(section, key))
            for (const std::string& field : fields)
                if (SameText(field, wanted))
                    return;
        Problem("[" + section + "] has no " + key + " = " + wanted);
    }

    void CheckVersionSection(const std::string& projectVersion)
    {
        Expect("Version", "Signature", "$Windows NT$");
        Expect("Version", "Class", "USBDevice");
        Expect("Version", "ClassGuid", "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}");
        Expect("Version", "Provider", "Kalvix");
        Expect("Version", "CatalogFile", "kalvix-winusb.cat");
        const auto driverVer = Values("Version", "DriverVer");
        unsigned month = 0, day = 0, year = 0, numbers[4] = {};
        char tail = 0;
        if (driverVer.size() != 1 || driverVer[0].size() != 2
            || sscanf(driverVer[0][0].c_str(), "%2u/%2u/%4u%c", &month, &day, &year, &tail) != 3
            || month < 1 || month > 12 || day < 1 || day > 31 || year < 2000
            || sscanf(driverVer[0][1].c_str(), "%u.%u.%u.%u%c", &numbers[0], &numbers[1], &numbers[2], &numbers[3], &tail) != 4) {
            Problem("DriverVer is not mm/dd/yyyy,w.x.y.z");
            return;
        }
        const std::string version = std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]);
        if (version != projectVersion)
            Problem("DriverVer's version " + driverVer[0][1] + " is not the project's " + projectVersion);
    }

    // The models section for `platform` (NTamd64, NTarm64) named in [Manufacturer] by the maker
    // "Kalvix"; empty if none.
    std::string ModelsSection(const std::string& platform)
    {
        const auto* entries = Section("Manufacturer");
        if (!entries)
            return "";
        for (const std::string& entry : *entries) {
            const std::vector<std::string> halves = SplitOutsideQuotes(entry, '=');
            if (halves.size() != 2 || Expand(Unquote(Trim(halves[0]))) != "Kalvix")
                continue;
            const std::vector<std::string> fields = Fields(halves[1]);
            for (size_t i = 1; i < fields.size(); ++i)
                if (Lower(fields[i]).rfind(Lower(platform), 0) == 0)
                    return fields[0] + "." + fields[i];
            Problem("[Manufacturer] has no " + platform + " decoration for Kalvix");
            return "";
        }
        Problem("[Manufacturer] names no maker \"Kalvix\"");
        return "";
    }

    // The install section the models section gives the hardware ID; empty if none.
    std::string InstallSection(const std::string& models, const std::string& hardwareId)
    {
        if (const auto* entries = Section(models)) {
            for (const std::string& entry : *entries) {
                const std::vector<std::string> halves = SplitOutsideQuotes(entry, '=');
                if (halves.size() != 2)
                    continue;
                const std::vector<std::string> fields = Fields(halves[1]);
                for (size_t i = 1; i < fields.size(); ++i)
                    if (SameText(fields[i], hardwareId))
                        return fields[0];
            }
            Problem("[" + models + "] has no model for " + hardwareId);
        }
        return "";
    }

    void CheckInterfaceClass(const std::string& hardwareSection, const GUID& interfaceClass)
    {
        bool found = false;
        for (const auto& addReg : Values(hardwareSection, "AddReg")) {
            for (const std::string& name : addReg) {
                const auto* entries = Section(name);
                if (!entries)
                    continue;
                for (const std::string& entry : *entries) {
                    const std::vector<std::string> fields = Fields(entry);
                    if (fields.size() < 3 || !SameText(fields[2], "DeviceInterfaceGUIDs"))
                        continue;
                    found = true;
                    if (!SameText(fields[0], "HKR") || !fields[1].empty())
                        Problem("DeviceInterfaceGUIDs is not written to HKR itself");
                    const unsigned long flags = fields.size() > 3 ? strtoul(fields[3].c_str(), nullptr, 0) : 0;
                    if ((flags & 0xFFFF0001UL) != 0x00010000UL)
                        Problem("DeviceInterfaceGUIDs is not REG_MULTI_SZ (flags " + (fields.size() > 3 ? fields[3] : "none") + ")");
                    if (std::none_of(fields.begin() + std::min<size_t>(4, fields.size()), fields.end(),
                                     [&](const std::string& value) { return SameText(value, GuidText(interfaceClass)); }))
                        Problem("DeviceInterfaceGUIDs does not hold the library's interface class " + GuidText(interfaceClass));
                }
            }
        }
        if (!found)
            Problem("[" + hardwareSection + "] writes no DeviceInterfaceGUIDs");
    }

    void Check(const std::string& bytes, const GUID& interfaceClass, const std::string& projectVersion)
    {
        CheckForm(bytes);
        Parse(bytes);
        CheckVersionSection(projectVersion);
        // x64 and Arm64 Windows each read their own models section; both may name one install section.
        std::string checkedInstall;
        for (const char* platform : {"NTamd64", "NTarm64"}) {
            const std::string models = ModelsSection(platform);
            if (models.empty())
                continue;
            const std::string install = InstallSection(models, "USB\\VID_1CBE&PID_0234");
            if (install.empty() || SameText(install, checkedInstall))
                continue;
            checkedInstall = install;
            ExpectListed(install, "Include", "winusb.inf");
            ExpectListed(install, "Needs", "WINUSB.NT");
            ExpectListed(install + ".Services", "Include", "winusb.inf");
            ExpectListed(install + ".Services", "Needs", "WINUSB.NT.Services");
            CheckInterfaceClass(install + ".HW", interfaceClass);
        }
    }
};

std::vector<std::string> InfProblems(const std::string& bytes)
{
    InfChecker checker;
    checker.Check(bytes, DevGUID, KALVIX_PROJECT_VERSION);
    return checker.problems;
}

std::string ShippedInf() { return ReadBytes(WindowsPathOf(KALVIX_DRIVER_INF)); }

std::string Joined(const std::vector<std::string>& problems)
{
    std::string text;
    for (const std::string& problem : problems)
        text += problem + "\n";
    return text;
}

TEST(DriverInf, BindsWinUsbToTheMeterAndRegistersTheLibrarysInterfaceClass)
{
    const std::string inf = ShippedInf();
    ASSERT_FALSE(inf.empty()) << KALVIX_DRIVER_INF;
    EXPECT_EQ(Joined(InfProblems(inf)), "");
    EXPECT_EQ(GuidText(DevGUID), "{D7024F71-28DE-4E81-8A6B-113CA2BFB60D}");
}

// Each fault put into a copy of the shipped INF is reported, with the part of the INF it is in:
// the checker above does not pass a file only because it overlooks things.
TEST(DriverInf, EachFaultInACopyIsReported)
{
    const std::string inf = ShippedInf();
    ASSERT_FALSE(inf.empty());
    struct Fault {
        const char* what;
        std::string from, to;
        const char* reported;
    };
    const Fault faults[] = {
        {"a line ended by LF alone", "\r\n[Strings]", "\n[Strings]", "does not end with CR LF"},
        {"a line ended by CR alone", "\r\n[Manufacturer]", "\r[Manufacturer]", "does not end with CR LF"},
        {"no line end after the last line", "= 0x00010000\r\n", "= 0x00010000", "(the last) does not end with CR LF"},
        {"a Latin-1 letter", "\"Kalvix impedance", "\"Kalvix\xE9 impedance", "is not plain ASCII"},
        {"a UTF-8 byte order mark", inf.substr(0, 1), "\xEF\xBB\xBF" + inf.substr(0, 1), "byte 0 is not plain ASCII"},
        {"another product ID", "_Install, USB\\VID_1CBE&PID_0234", "_Install, USB\\VID_1CBE&PID_0235", "has no model for USB\\VID_1CBE&PID_0234"},
        {"another vendor ID", "_Install, USB\\VID_1CBE&PID_0234", "_Install, USB\\VID_1CBF&PID_0234", "has no model for USB\\VID_1CBE&PID_0234"},
        {"models for 32-bit Windows only", "Kalvix,NTamd64", "Kalvix,NTx86", "no NTamd64 decoration"},
        {"models for x64 only", "Kalvix,NTamd64,NTarm64", "Kalvix,NTamd64", "no NTarm64 decoration"},
        {"another product ID for Arm64", "[Kalvix.NTarm64]\r\n%DeviceName% = Kalvix_Install, USB\\VID_1CBE&PID_0234",
         "[Kalvix.NTarm64]\r\n%DeviceName% = Kalvix_Install, USB\\VID_1CBE&PID_0235",
         "[Kalvix.NTarm64] has no model for USB\\VID_1CBE&PID_0234"},
        {"another interface class", "8A6B-113CA2BFB60D}\"", "8A6B-113CA2BFB60E}\"", "does not hold the library's interface class"},
        {"the interface class as REG_SZ", "REG_MULTI_SZ     = 0x00010000", "REG_MULTI_SZ     = 0x00000000", "is not REG_MULTI_SZ"},
        {"the interface class into a subkey", "HKR,,DeviceInterfaceGUIDs", "HKR,Sub,DeviceInterfaceGUIDs", "not written to HKR itself"},
        {"no AddReg in the HW section", "AddReg = Kalvix_AddReg", "; AddReg = Kalvix_AddReg", "writes no DeviceInterfaceGUIDs"},
        {"no WinUSB in the install section", "Needs   = WINUSB.NT\r\n\r\n", "\r\n\r\n", "[Kalvix_Install] has no Needs = WINUSB.NT"},
        {"no winusb.inf in the install section", "[Kalvix_Install]\r\nInclude = winusb.inf", "[Kalvix_Install]\r\nInclude = usb.inf",
         "[Kalvix_Install] has no Include = winusb.inf"},
        {"no WinUSB service", "Needs   = WINUSB.NT.Services", "Needs   = WINUSB.NT", "[Kalvix_Install.Services] has no Needs = WINUSB.NT.Services"},
        {"no .Services section", "[Kalvix_Install.Services]", "[Kalvix_Install.Service]", "no section [Kalvix_Install.Services]"},
        {"another setup class GUID", "{88BAE032-5A81-49F0-BC3D-A4FF138216D6}", "{88BAE032-5A81-49F0-BC3D-A4FF138216D7}", "ClassGuid is"},
        {"another setup class", "Class       = USBDevice", "Class       = USB", "Class is \"USB\""},
        {"no catalog file", "CatalogFile = kalvix-winusb.cat", "; CatalogFile = kalvix-winusb.cat", "needs one CatalogFile"},
        {"another provider", "ProviderName     = \"Kalvix\"", "ProviderName     = \"Someone\"", "Provider is \"Someone\""},
        {"a stale driver version", "," KALVIX_PROJECT_VERSION ".0", ",0.0.1.0", "is not the project's"},
        {"a driver date out of range", "DriverVer   = ", "DriverVer   = 13", "DriverVer is not mm/dd/yyyy"},
        {"a string that is not defined", "%DeviceName% =", "%DeviceTitle% =", "%DeviceTitle% is not in [Strings]"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        std::string copy = inf;
        const size_t at = copy.find(fault.from);
        ASSERT_NE(at, std::string::npos) << "the shipped INF no longer holds: " << fault.from;
        copy.replace(at, fault.from.size(), fault.to);
        const std::string problems = Joined(InfProblems(copy));
        EXPECT_NE(problems.find(fault.reported), std::string::npos) << problems;
    }
}

// What Windows accepts besides the shipped spelling is accepted too: names in another case,
// comments after entries, quoted fields, the interface class among others, and an OS version on
// the models section's platform decoration.
TEST(DriverInf, AcceptsOtherSpellingsWindowsReadsTheSame)
{
    std::string inf = ShippedInf();
    ASSERT_FALSE(inf.empty());
    const std::pair<std::string, std::string> edits[] = {
        {"[Kalvix_Install.Services]", "[KALVIX_INSTALL.SERVICES]"},
        {"Needs   = WINUSB.NT\r\n\r\n", "needs = winusb.nt ; WinUSB itself\r\n\r\n"},
        {"Kalvix,NTamd64,", "Kalvix,NTamd64.10.0,"},
        {"[Kalvix.NTamd64]", "[Kalvix.NTamd64.10.0]"},
        {",\"{D7024F71-28DE-4E81-8A6B-113CA2BFB60D}\"", ",\"{00000000-0000-0000-0000-000000000001}\",\"{d7024f71-28de-4e81-8a6b-113ca2bfb60d}\""},
        {"%REG_MULTI_SZ%", "0x00010008"},
    };
    for (const auto& [from, to] : edits) {
        const size_t at = inf.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        inf.replace(at, from.size(), to);
    }
    EXPECT_EQ(Joined(InfProblems(inf)), "");
}

} // namespace
