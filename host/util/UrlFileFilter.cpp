#include "host/util/UrlFileFilter.h"

#include "host/util/HelpContents.h"

#include <cstring>

bool UrlFileFilter::accept(const char* name)
{
    const char* dot = name ? std::strrchr(name, '.') : nullptr;
    return dot && std::strcmp(dot + 1, "url") == 0;
}

QKOsUtilLib::StringList* listHelpLinks(QKOsUtilLib::Directory& directory, const std::string& folder)
{
    if (directory.openFolder(folder.c_str(), 0) != 0)
        return nullptr;
    UrlFileFilter filter;
    return directory.listFiles(&filter);
}

std::vector<HelpLinkItem> helpLinkItems(const QKOsUtilLib::StringList* links)
{
    std::vector<HelpLinkItem> items;
    for (int i = 0; links && i < links->count(); ++i) {
        const std::string entry = links->getText(i) ? links->getText(i) : "";
        const auto slash = entry.rfind('/');
        if (slash == std::string::npos)
            continue;
        const std::string name = entry.substr(slash + 1);
        const auto dot = name.rfind('.');
        if (dot == std::string::npos)
            continue;
        items.push_back({i + 2, name.substr(0, dot)});
    }
    return items;
}

int helpAboutId(const QKOsUtilLib::StringList* links) { return (links ? links->count() : 0) + 2; }

bool openWithAssociatedProgram(const std::string& path) { return openAndReport(path, nullptr); }
