#include "report/Html.h"

namespace quorval {

Html::Html(QByteArray* out) : w_(out) {
    w_.writeStartDocument();
    w_.writeDTD(QStringLiteral("<!DOCTYPE html>"));
}

Html::~Html() {
    w_.writeEndDocument();
}

void Html::Open(const char* name, Attributes attributes) {
    w_.writeStartElement(QLatin1String(name));
    for (const auto& [key, value] : attributes) {
        Attribute(key, value);
    }
}

void Html::Close() {
    w_.writeEndElement();
}

void Html::Element(const char* name, const QString& text, Attributes attributes) {
    Open(name, attributes);
    Text(text);  // even an empty text ends the start tag: <td></td>, not <td/>
    Close();
}

void Html::Empty(const char* name, Attributes attributes) {
    w_.writeEmptyElement(QLatin1String(name));
    for (const auto& [key, value] : attributes) {
        Attribute(key, value);
    }
}

void Html::Text(const QString& text) {
    w_.writeCharacters(XmlSafe(text));
}

void Html::Attribute(const char* name, const QString& value) {
    if (value.isEmpty()) {
        return;  // class="" and the like say nothing
    }
    w_.writeAttribute(QLatin1String(name), XmlSafe(value));
}

QString XmlSafe(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            safe += c;
            safe += text[++i];
            continue;
        }
        const char16_t u = c.unicode();
        const bool allowed = u == '\t' || u == '\n' || u == '\r' || (u >= 0x20 && u < 0xD800) ||
                             (u >= 0xE000 && u < 0xFFFE);
        safe += allowed ? c : QChar(QChar::ReplacementCharacter);
    }
    return safe;
}

}  // namespace quorval
