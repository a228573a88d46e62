#include "analyser/window/document/document_text.h"

#include <QStringDecoder>
#include <array>

namespace qorval::analyser {
namespace {

// Characters the view cannot keep as they are (it takes them for paragraph and frame
// boundaries) and the two signs: a UTF-8 file holding any of them is shown byte for byte.
bool ViewCannotKeep(char16_t c) {
    return c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1' || c == kCarriageReturnSign ||
           c == kLineFeedSign;
}

LineEnd MostCommonLineEnd(const QByteArray& bytes) {
    std::array<qsizetype, 3> counts{};
    std::array<qsizetype, 3> first{-1, -1, -1};
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        LineEnd end;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            end = LineEnd::CrLf;
            ++i;
        } else if (bytes[i] == '\r') {
            end = LineEnd::Cr;
        } else if (bytes[i] == '\n') {
            end = LineEnd::Lf;
        } else {
            continue;
        }
        const auto k = static_cast<size_t>(end);
        if (counts[k]++ == 0) {
            first[k] = i;
        }
    }
    // The most common; between equally common ones, the one met first.
    LineEnd best = LineEnd::CrLf;
    for (LineEnd end : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
        const auto k = static_cast<size_t>(end);
        const auto b = static_cast<size_t>(best);
        if (counts[k] > counts[b] || (counts[k] == counts[b] && counts[k] > 0 && first[k] < first[b])) {
            best = end;
        }
    }
    return best;
}

// The text with its line ends as the view takes them: the document's own line end becomes
// '\n', every other carriage return and line feed its sign.
QString MarkLineEnds(const QString& decoded, LineEnd lineEnd) {
    QString text;
    text.reserve(decoded.size());
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        const QChar c = decoded[i];
        if (c == u'\r' && lineEnd == LineEnd::CrLf && i + 1 < decoded.size() &&
            decoded[i + 1] == u'\n') {
            text += u'\n';
            ++i;
        } else if (c == u'\r') {
            text += lineEnd == LineEnd::Cr ? QChar(u'\n') : QChar(kCarriageReturnSign);
        } else if (c == u'\n') {
            text += lineEnd == LineEnd::Lf ? QChar(u'\n') : QChar(kLineFeedSign);
        } else {
            text += c;
        }
    }
    return text;
}

}  // namespace

DecodedDocument DecodeDocument(const QByteArray& bytes) {
    DecodedDocument document;
    document.encoding.lineEnd = MostCommonLineEnd(bytes);
    // A byte order mark at the start is part of the file, so it stays in the text.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString decoded = decoder.decode(bytes);
    document.encoding.utf8 = !decoder.hasError();
    for (qsizetype i = 0; document.encoding.utf8 && i < decoded.size(); ++i) {
        document.encoding.utf8 = !ViewCannotKeep(decoded[i].unicode());
    }
    if (!document.encoding.utf8) {
        decoded = QString::fromLatin1(bytes);
    }
    document.text = MarkLineEnds(decoded, document.encoding.lineEnd);
    return document;
}

QByteArray EncodeDocument(const QString& text, const DocumentEncoding& encoding) {
    QString unmarked;
    unmarked.reserve(text.size());
    const QString lineEnd = encoding.lineEnd == LineEnd::CrLf ? QStringLiteral("\r\n")
                            : encoding.lineEnd == LineEnd::Lf ? QStringLiteral("\n")
                                                              : QStringLiteral("\r");
    for (const QChar c : text) {
        if (c == u'\n') {
            unmarked += lineEnd;
        } else if (c == kCarriageReturnSign) {
            unmarked += u'\r';
        } else if (c == kLineFeedSign) {
            unmarked += u'\n';
        } else {
            unmarked += c;
        }
    }
    if (encoding.utf8) {
        return unmarked.toUtf8();
    }
    QByteArray bytes;
    bytes.reserve(unmarked.size());
    for (const QChar c : unmarked) {
        bytes += c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?';
    }
    return bytes;
}

}  // namespace qorval::analyser
