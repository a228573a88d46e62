// CLombex32Doc: a document whose contents are the text of its view. Saving writes that text as
// a plain file; opening reads a plain file into the view. A file keeps its own line ends and
// character set: one that is not UTF-8 is read and written byte for byte (Latin-1); a new
// document is written with carriage return and line feed, as the capture window's lines are.
#pragma once

#include <filesystem>
#include <string>

namespace qorval::analyser {

class CLombex32View;

class CLombex32Doc {
  public:
    enum class LoadResult { Ok, CannotRead, TooLarge };

    CLombex32Doc(CLombex32View& view, std::string title);

    // Reads the file into the view; the document takes its name. A file larger than the
    // view's text limit is refused whole, so saving it again can never cut it short.
    LoadResult Open(const std::filesystem::path& path);
    // Writes the view's text; on success the document takes the name and is unmodified.
    [[nodiscard]] bool Save(const std::filesystem::path& path);
    void Clear();

    const std::filesystem::path& Path() const { return path_; }
    bool HasPath() const { return !path_.empty(); }
    // "Lombex1" for a new document, the file name for an opened one.
    const std::string& Title() const { return title_; }
    bool IsModified() const;
    void SetModified(bool modified);

  private:
    CLombex32View& view_;
    std::filesystem::path path_;
    std::string title_;
    bool utf8_ = true;
    bool crlf_ = true;
};

}  // namespace qorval::analyser
