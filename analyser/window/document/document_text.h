// How a document's bytes become the text of its view and back, byte for byte.
//
// A file that is valid UTF-8 is shown as UTF-8, any other file byte for byte (each byte one
// character, Latin-1). The file's most common line end (carriage return and line feed, line
// feed, or carriage return) breaks the lines in the view; every other carriage return or line
// feed stays in its line as a visible sign, "␍" or "␊", and is written back as the byte it
// stands for. Encoding the text again therefore gives the file's bytes unchanged, and an edit
// changes only the bytes it touched: a new line takes the document's line end, a character
// that the byte-for-byte form cannot hold is written as "?".
#pragma once

#include <QByteArray>
#include <QString>

namespace qorval::analyser {

enum class LineEnd { CrLf, Lf, Cr };

struct DocumentEncoding {
    bool utf8 = true;
    LineEnd lineEnd = LineEnd::CrLf;  // a new document's lines end as the capture lines do
};

struct DecodedDocument {
    QString text;  // lines separated by '\n', as the view takes them
    DocumentEncoding encoding;
};

// The signs of a carriage return and a line feed that do not break a line.
inline constexpr char16_t kCarriageReturnSign = u'\u240D';
inline constexpr char16_t kLineFeedSign = u'\u240A';

DecodedDocument DecodeDocument(const QByteArray& bytes);
QByteArray EncodeDocument(const QString& text, const DocumentEncoding& encoding);

}  // namespace qorval::analyser
