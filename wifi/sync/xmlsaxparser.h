// Event-driven XML reading over expat's UTF-16 build. A handler supplies a
// table that maps an element name under a parent state to a new state; the
// reader keeps a stack of states and lets the handler collect the character
// data of the states it cares about. Attributes are ignored.
#pragma once

#include "wifi/sync/devicefile.h"

#include <expat.h>

#include <QFile>
#include <QList>
#include <QString>

#include <cstdio>
#include <deque>

static_assert(sizeof(XML_Char) == 2, "the XML readers need expat's UTF-16 build");

namespace kivo::sync {

// One row of a handler's element table. Names are compared exactly, as
// UTF-16, prefix included (no namespace processing).
struct XmlElementRow {
    const char16_t* name;
    int parentState;
    int newState;
};

inline bool sameXmlName(const XML_Char* a, const char16_t* b)
{
    while (*a && *b) {
        if (char16_t(*a) != *b)
            return false;
        ++a;
        ++b;
    }
    return *a == 0 && *b == 0;
}

inline QString xmlText(const XML_Char* text, int length)
{
    // Built from the code units as they are: fromUtf16 would drop a leading
    // U+FEFF of the text as a byte order mark.
    return QString(reinterpret_cast<const QChar*>(text), length);
}

} // namespace kivo::sync

template <typename Record> class XmlSaxParser {
public:
    // Files are fed to expat in chunks of this size.
    static constexpr int kChunkBytes = 51200;

    virtual ~XmlSaxParser() = default;

    virtual void startElement(void* userData, const XML_Char* name, const XML_Char** attributes);
    virtual void endElement(void* userData, const XML_Char* name);
    virtual void characters(void* userData, const XML_Char* text, int length);
    virtual void startDocument();
    virtual void endDocument();

    // Parses the file at a device path. True whenever the file opens, also
    // for malformed XML: what was read before the error is kept, and
    // hasError()/errorString() tell what went wrong and where.
    bool parseFile(const QString& path);

    // The same reading of a file that the caller has opened and begun to
    // read: first holds what one read of up to kChunkBytes from its start
    // gave (fewer bytes: the file ends there), and file stands behind them.
    // The caller keeps the file and closes it.
    void parseOpenedFile(const QString& path, FILE* file, const char* first, size_t firstSize);

    QList<Record> records() const { return m_records; }

    bool hasError() const { return !m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }

protected:
    XmlSaxParser(const kivo::sync::XmlElementRow* table, int rows)
        : m_table(table)
        , m_rows(rows)
    {
    }
    XmlSaxParser(const XmlSaxParser&) = delete;
    XmlSaxParser& operator=(const XmlSaxParser&) = delete;

    int currentState() const { return m_stateStack.empty() ? 0 : m_stateStack.back(); }
    int unmatchedState() const { return m_rows + 1; }

    // Clears what a handler starts each parse without.
    virtual void clearForParse() = 0;
    // Asked after each chunk: true ends the reading early.
    virtual bool readingDone() const { return false; }
    // Runs once after the document has been read.
    virtual void finishParse() { }

    std::deque<int> m_stateStack;
    XML_Parser m_parser = nullptr;
    QString m_filePath;
    FILE* m_file = nullptr;
    QList<Record> m_records;

private:
    static void XMLCALL onStart(void* userData, const XML_Char* name, const XML_Char** attributes)
    {
        static_cast<XmlSaxParser*>(userData)->startElement(userData, name, attributes);
    }
    static void XMLCALL onEnd(void* userData, const XML_Char* name)
    {
        static_cast<XmlSaxParser*>(userData)->endElement(userData, name);
    }
    static void XMLCALL onText(void* userData, const XML_Char* text, int length)
    {
        static_cast<XmlSaxParser*>(userData)->characters(userData, text, length);
    }

    void noteError(const QString& text)
    {
        if (m_errorString.isEmpty())
            m_errorString = text;
    }

    const kivo::sync::XmlElementRow* m_table;
    int m_rows;
    QString m_errorString;
};

template <typename Record> void XmlSaxParser<Record>::startElement(void*, const XML_Char* name, const XML_Char**)
{
    const int state = currentState();
    for (int i = 0; i < m_rows; ++i) {
        if (m_table[i].parentState == state && kivo::sync::sameXmlName(name, m_table[i].name)) {
            m_stateStack.push_back(m_table[i].newState);
            return;
        }
    }
    m_stateStack.push_back(unmatchedState());
}

template <typename Record> void XmlSaxParser<Record>::endElement(void*, const XML_Char*)
{
    if (!m_stateStack.empty())
        m_stateStack.pop_back();
}

template <typename Record> void XmlSaxParser<Record>::characters(void*, const XML_Char*, int) { }

template <typename Record> void XmlSaxParser<Record>::startDocument()
{
    m_stateStack.push_back(0);
}

template <typename Record> void XmlSaxParser<Record>::endDocument()
{
    if (!m_stateStack.empty())
        m_stateStack.pop_back();
}

template <typename Record> bool XmlSaxParser<Record>::parseFile(const QString& path)
{
    const QString local = kivo::sync::localPath(path);
    FILE* file = local.isEmpty() ? nullptr : std::fopen(QFile::encodeName(local).constData(), "rb");
    if (!file) {
        m_filePath = path;
        clearForParse();
        m_records.clear();
        m_stateStack.clear();
        m_errorString.clear();
        m_parser = nullptr;
        m_file = nullptr;
        return false;
    }
    parseOpenedFile(path, file, nullptr, 0);
    std::fclose(file);
    return true;
}

template <typename Record>
void XmlSaxParser<Record>::parseOpenedFile(const QString& path, FILE* file, const char* first, size_t firstSize)
{
    m_filePath = path;
    clearForParse();
    m_records.clear();
    m_stateStack.clear();
    m_errorString.clear();
    m_parser = nullptr;
    m_file = file;

    QByteArray buffer;
    m_parser = XML_ParserCreate(nullptr);
    if (!m_parser) {
        m_file = nullptr;
        noteError(QStringLiteral("out of memory"));
        return;
    }
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, &XmlSaxParser::onStart, &XmlSaxParser::onEnd);
    XML_SetCharacterDataHandler(m_parser, &XmlSaxParser::onText);

    startDocument();
    for (;;) {
        const char* chunk = first;
        size_t got = firstSize;
        bool readFailed = false;
        if (chunk) {
            first = nullptr;
        } else {
            if (buffer.isEmpty())
                buffer = QByteArray(kChunkBytes, Qt::Uninitialized);
            got = std::fread(buffer.data(), 1, size_t(kChunkBytes), m_file);
            readFailed = std::ferror(m_file) != 0;
            chunk = buffer.constData();
        }
        const bool final = got < size_t(kChunkBytes) || readFailed;
        if (XML_Parse(m_parser, chunk, int(got), final ? 1 : 0) == XML_STATUS_ERROR) {
            // expat delivers nothing after an error, so the rest of the file
            // need not be read.
            const XML_Error code = XML_GetErrorCode(m_parser);
            noteError(QStringLiteral("%1: %2 at line %3, column %4")
                          .arg(path, QString::fromUtf8(XML_ErrorString(code)))
                          .arg(qulonglong(XML_GetCurrentLineNumber(m_parser)))
                          .arg(qulonglong(XML_GetCurrentColumnNumber(m_parser)) + 1));
            break;
        }
        if (readFailed) {
            noteError(QStringLiteral("%1: read error").arg(path));
            break;
        }
        if (final || readingDone())
            break;
    }
    endDocument();

    XML_ParserFree(m_parser);
    m_parser = nullptr;
    m_file = nullptr;
    finishParse();
}
