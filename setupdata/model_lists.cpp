#include <cwchar>
#include <memory>

#include "platform/profile_service.h"
#include "platform/services.h"
#include "setupdata/setup_context.h"

namespace {

// Appends the NUL-ended lines among the first `count` characters of a section read. When the
// profile API reports a section that did not fit (size - 2), the NUL that ends the cut last line
// lies past `count`, so that line is never appended. A line too long for the 256-character line
// buffer is skipped rather than cut, so that no cut text can pass for a model name.
void SplitSection(const wchar_t* buffer, uint32_t count, StringList& list) {
    uint32_t lineStart = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (buffer[i] != L'\0')
            continue;
        const uint32_t length = i - lineStart;
        if (length < SetupContext::kLineWidth)
            list.emplace_back(buffer + lineStart, length);
        lineStart = i + 1;
    }
}

bool ListHolds(const StringList& list, const wchar_t* model) {
    for (const std::wstring& line : list) {
        if (line == model)
            return true;
    }
    return false;
}

}  // namespace

int32_t SetupContext::ListSeries(StringList& list) const {
    return ListSeriesModels(kSeriesSection, list);
}

int32_t SetupContext::ListSeriesModels(const wchar_t* section, StringList& list) const {
    auto buffer = std::make_unique<wchar_t[]>(kSectionWidth);
    const int32_t count = ReadProfileSection(section, printerInfoPath, buffer.get(), kSectionWidth);
    if (count == 0)
        return 0;
    SplitSection(buffer.get(), static_cast<uint32_t>(count), list);
    return 1;
}

int32_t SetupContext::IsSupportedModel(const wchar_t* model) const {
    // This check reads the section directly: a section too long for the buffer still has its
    // lines that fitted searched.
    IProfileService* profile = Services().profile;
    if (profile == nullptr || model == nullptr)
        return 0;
    auto buffer = std::make_unique<wchar_t[]>(kSectionWidth);
    const uint32_t count =
        profile->GetSection(kShownSeries, buffer.get(), kSectionWidth, printerInfoPath);
    if (count == 0 || count > kSectionWidth - 2)
        return 0;
    StringList lines;
    SplitSection(buffer.get(), count, lines);
    return ListHolds(lines, model) ? 1 : 0;
}

int32_t SetupContext::FindModelSeries(CString& seriesOut, const wchar_t* model) const {
    if (model == nullptr)
        return 0;
    StringList series;
    ListSeries(series);
    for (const std::wstring& name : series) {
        StringList models;
        ListSeriesModels(name.c_str(), models);
        if (ListHolds(models, model)) {
            seriesOut = name;
            return 1;
        }
    }
    return 0;
}
