// The version resource of every binary the project ships, read as Windows' file properties read
// it: one VERSIONINFO, the project's version in the fixed part and in the strings, the company,
// product, description, file name and copyright texts. The library's interface version
// (GetDLLVersion's "1.20", ShippedLibraryTests.cpp) is a different number and stays as it is.
#include "BuildPaths.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Shipped {
    const char* buildPath;
    const char* fileName;
    const char* description;
    DWORD fileType;
};

const Shipped shipped[] = {
    {KALVIX_REAL_DLL, "KalvixCtrl.dll", "Kalvix device library", VFT_DLL},
    {KALVIX_EMULATED_DLL, "KalvixCtrl.dll", "Kalvix device library (software device)", VFT_DLL},
    {KALVIX_PANEL_EXE, "OstrelControlPanel.exe", "Kalvix control panel", VFT_APP},
    {KALVIX_MEASURE_EXE, "kalvix_measure.exe", "Kalvix measurement example", VFT_APP},
    {KALVIX_PANEL_DEMO_EXE, "panel_demo.exe", "Kalvix control panel demonstration", VFT_APP},
};

struct VersionBlock {
    std::vector<char> bytes;
    std::string stringBlock; // "\StringFileInfo\llllcccc\" of the first translation

    bool Read(const std::string& path)
    {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
        if (size == 0)
            return false;
        bytes.assign(size, 0);
        if (!GetFileVersionInfoA(path.c_str(), 0, size, bytes.data()))
            return false;
        WORD* translation = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(bytes.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
            || length < 2 * sizeof(WORD))
            return false;
        char block[64];
        snprintf(block, sizeof block, "\\StringFileInfo\\%04X%04X\\", translation[0], translation[1]);
        stringBlock = block;
        return true;
    }

    const VS_FIXEDFILEINFO* Fixed()
    {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(bytes.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
            return nullptr;
        return fixed;
    }

    // The string's text, or "(missing)".
    std::string Text(const char* name)
    {
        char* text = nullptr;
        UINT length = 0;
        if (!VerQueryValueA(bytes.data(), (stringBlock + name).c_str(), reinterpret_cast<void**>(&text), &length) || !text)
            return "(missing)";
        return text;
    }
};

BOOL CALLBACK CollectId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids)
{
    // A resource named by text rather than by number is listed as ~0.
    reinterpret_cast<std::vector<ULONG_PTR>*>(ids)->push_back(IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : ~ULONG_PTR{0});
    return TRUE;
}

// The ids of the module's RT_VERSION resources.
std::vector<ULONG_PTR> VersionResourceIds(const std::string& path)
{
    std::vector<ULONG_PTR> ids;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return ids;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(16) /* RT_VERSION */, CollectId, reinterpret_cast<LONG_PTR>(&ids));
    FreeLibrary(module);
    return ids;
}

TEST(ShippedVersion, EveryShippedBinaryCarriesTheProjectVersionAndItsNames)
{
    unsigned major = 0, minor = 0, patch = 0;
    char tail = 0;
    ASSERT_EQ(sscanf(KALVIX_PROJECT_VERSION, "%u.%u.%u%c", &major, &minor, &patch, &tail), 3) << KALVIX_PROJECT_VERSION;
    for (const Shipped& binary : shipped) {
        const std::string path = WindowsPathOf(binary.buildPath);
        SCOPED_TRACE(path);
        EXPECT_NE(path.find(binary.fileName), std::string::npos);

        EXPECT_EQ(VersionResourceIds(path), std::vector<ULONG_PTR>{1}) << "one VERSIONINFO, id 1";
        VersionBlock version;
        ASSERT_TRUE(version.Read(path)) << GetLastError();
        const VS_FIXEDFILEINFO* fixed = version.Fixed();
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        const DWORD high = major << 16 | minor, low = patch << 16;
        EXPECT_EQ(fixed->dwFileVersionMS, high);
        EXPECT_EQ(fixed->dwFileVersionLS, low);
        EXPECT_EQ(fixed->dwProductVersionMS, high);
        EXPECT_EQ(fixed->dwProductVersionLS, low);
        EXPECT_EQ(fixed->dwFileType, binary.fileType);
        EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "neither debug nor prerelease";

        EXPECT_EQ(version.stringBlock, "\\StringFileInfo\\040904B0\\");
        EXPECT_EQ(version.Text("FileVersion"), KALVIX_PROJECT_VERSION);
        EXPECT_EQ(version.Text("ProductVersion"), KALVIX_PROJECT_VERSION);
        EXPECT_EQ(version.Text("CompanyName"), "Kalvix");
        EXPECT_EQ(version.Text("ProductName"), "Kalvix Control");
        EXPECT_EQ(version.Text("FileDescription"), binary.description);
        EXPECT_EQ(version.Text("OriginalFilename"), binary.fileName);
        const std::string baseName(binary.fileName, std::string(binary.fileName).rfind('.'));
        EXPECT_EQ(version.Text("InternalName"), baseName);
        const std::string copyright = version.Text("LegalCopyright");
        EXPECT_EQ(copyright.rfind("Copyright (C) ", 0), 0u) << copyright;
        EXPECT_NE(copyright.find("Kalvix"), std::string::npos) << copyright;
    }
}

} // namespace
