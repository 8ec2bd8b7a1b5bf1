#pragma once

#include <initializer_list>
#include <utility>

#include <QByteArray>
#include <QString>
#include <QXmlStreamWriter>

namespace quorval {

// Writes a report as well-formed XML that browsers read as HTML: every text and
// attribute escaped, and no element of HTML written as <x/>, which an HTML
// parser would take for an opening tag.
class Html {
  public:
    using Attributes = std::initializer_list<std::pair<const char*, QString>>;

    explicit Html(QByteArray* out);
    ~Html();
    Html(const Html&) = delete;
    Html& operator=(const Html&) = delete;

    void Open(const char* name, Attributes attributes = {});
    void Close();
    // An element with its text: <name>text</name>, also when the text is empty.
    void Element(const char* name, const QString& text, Attributes attributes = {});
    // An element without content, for SVG shapes and HTML's void elements.
    void Empty(const char* name, Attributes attributes = {});
    void Text(const QString& text);

  private:
    void Attribute(const char* name, const QString& value);
    QXmlStreamWriter w_;
};

// Text that XML 1.0 can hold: control characters and broken surrogate pairs
// become U+FFFD.
QString XmlSafe(const QString& text);

}  // namespace quorval
