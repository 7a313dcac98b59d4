#include "PictureTestSupport.h"

#include "data/PathText.h"
#include "render/PictureFont.h"

#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>

PlotCurve ReferenceCurve()
{
    PlotCurve curve{"two-zarc-synthetic.csv", {}, {}, false};
    std::ifstream file(std::string(KALVIX_SOURCE_DIR) + "/tests/logtool/data/two-zarc-synthetic.csv");
    std::string line;
    std::getline(file, line);
    while (std::getline(file, line)) {
        std::istringstream row(line);
        double index = 0, frequency = 0, real = 0, imaginary = 0;
        char comma = 0;
        row >> index >> comma >> frequency >> comma >> real >> comma >> imaginary;
        if (row) {
            curve.frequency.push_back(frequency);
            curve.impedance.push_back({real, imaginary});
        }
    }
    return curve;
}

PlotCurve TwoZarcModel(const std::vector<double>& frequencies)
{
    PlotCurve curve{"model", frequencies, {}, true};
    for (double frequency : frequencies) {
        const std::complex<double> jw(0, 2 * std::numbers::pi * frequency);
        curve.impedance.push_back(10.0 + 50.0 / (1.0 + std::pow(jw * 0.1, 0.8)) +
                                  50.0 / (1.0 + std::pow(jw * 1e-4, 0.8)));
    }
    return curve;
}

ScratchDirectory::ScratchDirectory()
{
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("kalvix-picture-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDirectory::File(const std::string& name) const
{
    return PathToUtf8(path_ / PathFromUtf8(name));
}

std::vector<std::string> ScratchDirectory::Names() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(PathToUtf8(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

RgbImage ReadPng(const std::string& path)
{
    const std::string bytes = ReadText(path);
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                  static_cast<int>(bytes.size()), &width, &height, &channels, 3);
    if (!pixels)
        return RgbImage(0, 0, {});
    RgbImage image(width, height, {});
    image.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height * 3);
    stbi_image_free(pixels);
    return image;
}

std::string SvgTagBalanceProblem(const std::string& svg)
{
    std::vector<std::string> open;
    size_t position = 0;
    while ((position = svg.find('<', position)) != std::string::npos) {
        const size_t end = svg.find('>', position);
        if (end == std::string::npos)
            return "a tag is not closed by '>'";
        const std::string tag = svg.substr(position + 1, end - position - 1);
        position = end + 1;
        if (tag.starts_with("?"))
            continue;
        const bool closing = tag.starts_with("/");
        const bool selfClosing = tag.ends_with("/");
        const size_t nameEnd = tag.find_first_of(" \t\n/", closing ? 1 : 0);
        const std::string name = tag.substr(closing ? 1 : 0, nameEnd == std::string::npos ? std::string::npos
                                                                                        : nameEnd - (closing ? 1 : 0));
        if (name.empty() || tag.find('<') != std::string::npos)
            return "malformed tag <" + tag + ">";
        if (closing) {
            if (open.empty() || open.back() != name)
                return "</" + name + "> closes " + (open.empty() ? std::string("nothing") : "<" + open.back() + ">");
            open.pop_back();
        } else if (!selfClosing) {
            open.push_back(name);
        }
    }
    if (!open.empty())
        return "<" + open.back() + "> is never closed";
    return "";
}

size_t CountOccurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

void UseTestFont()
{
    SetPictureFontSearchDirectory(PathToUtf8(PathFromUtf8(KALVIX_LOG_FONT_FILE).parent_path()));
}

namespace {

void SetVariable(const std::string& name, const std::string* value)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
#endif
}

} // namespace

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name)) {
        hadValue_ = true;
        oldValue_ = old;
    }
    SetVariable(name_, &value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    SetVariable(name_, hadValue_ ? &oldValue_ : nullptr);
}
