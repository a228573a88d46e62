// CLombex32Doc: a document whose contents are the text of its view. Saving writes that text as
// a plain file; opening reads a plain file into the view. What is opened and not changed is
// written back byte for byte: its line ends, its character set and every other byte
// (document_text.h); a new document is written in UTF-8 with carriage return and line feed, as
// the capture window's lines are.
#pragma once

#include <filesystem>
#include <string>

#include "analyser/window/document/document_text.h"

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
    DocumentEncoding encoding_;
};

}  // namespace qorval::analyser
