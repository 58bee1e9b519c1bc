#include "hosts/wincon/utf8_text.h"

#include <vector>

#include <windows.h>

#include <shellapi.h>

namespace wincon {

namespace {

std::string utf8FromWide(const wchar_t* text, size_t length)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, int(length), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

std::wstring wideFromUtf8(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring out(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
    out.resize(size_t(length - 1));
    return out;
}

void useUtf8Arguments(int& argc, char**& argv)
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return;
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    arguments.clear();
    for (int i = 0; i < count; ++i) arguments.push_back(utf8FromWide(words[i], wcslen(words[i])));
    LocalFree(words);
    pointers.clear();
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

}  // namespace wincon
