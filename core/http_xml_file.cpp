#include "core/http_xml_file.h"

#include <QDebug>
#include <QFile>

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

void CHttpXmlFile::get_file_in_folder(const char* filter, std::list<std::string>& entries)
{
    std::list<std::string> all;
    if (tinyxml2::XMLElement* root = m_doc.FirstChildElement("root")) {
        for (tinyxml2::XMLElement* dir = root->FirstChildElement("dir"); dir;
             dir = dir->NextSiblingElement("dir"))
            parse_dir("", dir, all);
    }
    entries.clear();
    for (std::string& entry : all) {
        if (!filter || entry.find(filter) != std::string::npos)
            entries.push_back(std::move(entry));
    }
}

void CHttpXmlFile::parse_dir(std::string prefix, tinyxml2::XMLElement* dir, std::list<std::string>& entries)
{
    const char* name = dir->Attribute("name");
    if (!name)
        return;
    prefix += name;
    prefix += '/';
    for (tinyxml2::XMLElement* file = dir->FirstChildElement("file"); file;
         file = file->NextSiblingElement("file")) {
        const char* text = file->GetText();
        if (!text || !*text)
            continue;
        entries.push_back(prefix + text);
        qDebug("%s", entries.back().c_str());
    }
    for (tinyxml2::XMLElement* child = dir->FirstChildElement("dir"); child;
         child = child->NextSiblingElement("dir"))
        parse_dir(prefix, child, entries);
}
