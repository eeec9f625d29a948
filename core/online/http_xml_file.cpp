#include "core/online/http_xml_file.h"

#include <QDebug>
#include <QFile>

namespace {

// Characters of UTF-8 text: every byte but the continuation bytes 10xxxxxx.
size_t character_count(const std::string& text)
{
    size_t count = 0;
    for (const char byte : text)
        count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

}  // namespace

CHttpXmlFile::CHttpXmlFile() : m_doc(true, tinyxml2::COLLAPSE_WHITESPACE) {}

bool CHttpXmlFile::open(const QByteArray& data)
{
    return m_doc.Parse(data.constData(), static_cast<size_t>(data.size())) == tinyxml2::XML_SUCCESS;
}

bool CHttpXmlFile::open(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return open(file.readAll());
}

bool CHttpXmlFile::get_file_in_folder(const char* filter, std::list<std::string>& entries)
{
    std::list<std::string> all;
    entries.clear();
    SExpansion spent;
    if (tinyxml2::XMLElement* root = m_doc.FirstChildElement("root")) {
        for (tinyxml2::XMLElement* dir = root->FirstChildElement("dir"); dir;
             dir = dir->NextSiblingElement("dir")) {
            if (!parse_dir("", dir, all, spent))
                return false;
        }
    }
    for (std::string& entry : all) {
        if (!filter || entry.find(filter) != std::string::npos)
            entries.push_back(std::move(entry));
    }
    return true;
}

bool CHttpXmlFile::parse_dir(std::string prefix, tinyxml2::XMLElement* dir, std::list<std::string>& entries,
                             SExpansion& spent)
{
    const char* name = dir->Attribute("name");
    if (!name)
        return true;
    prefix += name;
    prefix += '/';
    if (character_count(prefix) > kMaxListNameLength)
        return false;
    for (tinyxml2::XMLElement* file = dir->FirstChildElement("file"); file;
         file = file->NextSiblingElement("file")) {
        const char* text = file->GetText();
        if (!text || !*text)
            continue;
        const std::string file_name = text;
        spent.bytes += prefix.size() + file_name.size();
        if (++spent.entries > kMaxListEntries || spent.bytes > kMaxListTextBytes ||
            character_count(file_name) > kMaxListNameLength)
            return false;
        entries.push_back(prefix + file_name);
        qDebug("%s", entries.back().c_str());
    }
    for (tinyxml2::XMLElement* child = dir->FirstChildElement("dir"); child;
         child = child->NextSiblingElement("dir")) {
        if (!parse_dir(prefix, child, entries, spent))
            return false;
    }
    return true;
}
