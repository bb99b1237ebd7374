#include "mirror/core/FolderPairList.h"

#include <utility>

namespace mirror {

std::optional<std::pair<std::string, std::string>> FolderPair::split() const
{
    const size_t at = text.find(Separator);
    if (at == std::string::npos)
        return std::nullopt;
    return std::pair { text.substr(0, at), text.substr(at + std::char_traits<char>::length(Separator)) };
}

std::string FolderPair::join(const std::string& source, const std::string& destination)
{
    return source + Separator + destination;
}

void FolderPairList::select(int index)
{
    m_selected = index >= 0 && index < count() ? index : -1;
}

bool FolderPairList::add(const std::string& source, const std::string& destination)
{
    if (source.empty() || destination.empty())
        return false;
    append({ FolderPair::join(source, destination), true, {} });
    return true;
}

void FolderPairList::append(FolderPair pair)
{
    m_items.push_back(std::move(pair));
}

void FolderPairList::setEnabled(int index, bool enabled)
{
    m_items.at(static_cast<size_t>(index)).enabled = enabled;
}

void FolderPairList::setExclude(int index, const std::string& patterns)
{
    if (index >= 0 && index < count())
        m_items[static_cast<size_t>(index)].exclude = patterns;
}

bool FolderPairList::removeSelected()
{
    if (m_selected < 0)
        return false;
    m_items.erase(m_items.begin() + m_selected);
    m_selected = -1;
    return true;
}

bool FolderPairList::moveSelectedUp()
{
    if (m_selected <= 0)
        return false;
    std::swap(m_items[static_cast<size_t>(m_selected)], m_items[static_cast<size_t>(m_selected - 1)]);
    --m_selected;
    return true;
}

bool FolderPairList::moveSelectedDown()
{
    if (m_selected < 0 || m_selected + 1 >= count())
        return false;
    std::swap(m_items[static_cast<size_t>(m_selected)], m_items[static_cast<size_t>(m_selected + 1)]);
    ++m_selected;
    return true;
}

void FolderPairList::clear()
{
    m_items.clear();
    m_selected = -1;
}

} // namespace mirror
