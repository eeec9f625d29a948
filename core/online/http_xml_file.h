#pragma once

#include <tinyxml2.h>
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <list>
#include <string>

// The server's firmware list: a "root" element holding "dir" elements (attribute "name",
// nested to any depth), whose "file" elements name one package each, without ".dat".
// An entry is the names of the enclosing folders, outermost first, each followed by "/",
// then the file's text: <dir name="00012"><file>PEDAL_V1.2.3</file></dir> gives
// "00012/PEDAL_V1.2.3". Texts are UTF-8, entities resolved, white space collapsed.
//
// Input the list format does not allow is skipped rather than guessed at: without a
// "root" element there are no entries; a "dir" without a "name" attribute is left out
// with everything inside it; a "file" without text is left out.
//
// What a list expands into is bounded, whatever it weighs: a list of 4 MB whose one folder
// of 2 MB names a hundred thousand files would otherwise build gigabytes of entries.
constexpr size_t kMaxListEntries = 10000;
constexpr size_t kMaxListNameLength = 1024;      // characters of a file name or a folder path
constexpr size_t kMaxListTextBytes = 16u << 20;  // the entries' texts together, in bytes

class CHttpXmlFile {
public:
    CHttpXmlFile();
    CHttpXmlFile(const CHttpXmlFile&) = delete;
    CHttpXmlFile& operator=(const CHttpXmlFile&) = delete;

    // Parses the list; true when it is well-formed XML.
    [[nodiscard]] bool open(const QByteArray& data);
    // The same from a file; false also when the file does not open.
    [[nodiscard]] bool open(const QString& path);

    // The entries containing `filter` (case-sensitive substring), in document order,
    // depth first, a folder's own files before those of its sub-folders; all entries when
    // `filter` is null. False, with no entries, when the whole list goes past a bound.
    [[nodiscard]] bool get_file_in_folder(const char* filter, std::list<std::string>& entries);

private:
    // What the entries built so far have taken of the bounds.
    struct SExpansion {
        size_t entries = 0;
        size_t bytes = 0;
    };
    // Appends the entries of `dir` and its sub-folders, below the folder path `prefix`;
    // false past a bound.
    bool parse_dir(std::string prefix, tinyxml2::XMLElement* dir, std::list<std::string>& entries,
                   SExpansion& spent);

    tinyxml2::XMLDocument m_doc;
};
