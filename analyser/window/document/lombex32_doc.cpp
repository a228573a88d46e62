#include "analyser/window/document/lombex32_doc.h"

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QTextDocument>

#include "analyser/window/document/lombex32_view.h"
#include "platform/regular_file.h"

namespace qorval::analyser {
namespace {

QString QtPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

CLombex32Doc::CLombex32Doc(CLombex32View& view, std::string title)
    : view_(view), title_(std::move(title)) {}

CLombex32Doc::LoadResult CLombex32Doc::Open(const std::filesystem::path& path) {
    // Opened without blocking and only as a regular file: a FIFO named on the command line
    // would otherwise hang the window.
    const int fd = platform::OpenRegularFile(path, platform::FileUse::Read).fd;
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0) {
            ::close(fd);
        }
        return LoadResult::CannotRead;
    }
    // Whole bytes beyond the limit can only be more characters, never fewer than a quarter
    // of them (UTF-8): refuse early what cannot fit, then check the decoded length.
    if (file.size() > qint64{CLombex32View::kTextLimit} * 4) {
        return LoadResult::TooLarge;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return LoadResult::CannotRead;
    }
    DecodedDocument decoded = DecodeDocument(bytes);
    if (decoded.text.size() > CLombex32View::kTextLimit) {
        return LoadResult::TooLarge;
    }
    encoding_ = decoded.encoding;
    const QString& text = decoded.text;
    view_.setPlainText(text);
    path_ = path;
    title_ = path.filename().string();
    SetModified(false);
    return LoadResult::Ok;
}

bool CLombex32Doc::Save(const std::filesystem::path& path) {
    // The document's own characters: its plain text would turn no-break spaces into spaces.
    QString text = view_.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    const QByteArray bytes = EncodeDocument(text, encoding_);
    // Written beside the file and renamed over it, so a failed save leaves the old file whole.
    QSaveFile file(QtPath(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return false;
    }
    path_ = path;
    title_ = path.filename().string();
    SetModified(false);
    return true;
}

void CLombex32Doc::Clear() {
    view_.clear();
    SetModified(false);
}

bool CLombex32Doc::IsModified() const {
    return view_.document()->isModified();
}

void CLombex32Doc::SetModified(bool modified) {
    view_.document()->setModified(modified);
}

}  // namespace qorval::analyser
