#pragma once
// Opening a file a program reads or writes where its user says: a macro, a send file, a log, a
// capture file, a file to transfer or a file a transfer creates. Such a name may be a FIFO or a
// device (opening one blocks, or acts on the device), or, in a folder other users may write, a
// symbolic link someone planted to turn our write onto another file. So every such file is
// opened here and only here:
//
// - a name that is not a regular file is refused before it is opened, and the open itself
//   never blocks (whatever appears at the name meanwhile is checked again on the descriptor);
// - where the file may be created or emptied (every use but Read), a symbolic link as the last
//   name is refused: the write never goes through it. Folders on the way are followed;
// - reading follows links, as opening a file for reading anywhere does.

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace qorval::platform {

enum class FileUse {
    Read,      // an existing file, read from its start
    Write,     // created when missing, contents kept (the caller empties it when it may)
    Truncate,  // created when missing, emptied
    Append,    // created when missing, contents kept, every write at the end
};

struct OpenedFile {
    int fd = -1;           // close-on-exec and blocking; -1 when the file was not opened
    bool missing = false;  // Read: nothing has that name
    std::string problem;   // why it was not opened, naming the path
};

// `mode`: the permission bits of a file created here, less the umask.
[[nodiscard]] OpenedFile OpenRegularFile(const std::filesystem::path& path, FileUse use,
                                         mode_t mode = 0666);

// The same as a stdio stream ("rb", "wb" without emptying for Write, "wb" for Truncate, "ab");
// null with `problem` set when the file was not opened.
[[nodiscard]] std::FILE* OpenRegularStream(const std::filesystem::path& path, FileUse use,
                                           std::string* problem, mode_t mode = 0666);

// A stream a program hands us to write into, as a packet analyser hands its capture programs:
// a FIFO (or pipe) whose reader already has it open, or else a regular file as for Truncate.
// A FIFO without a reader is refused at once rather than waited for; a device or anything
// else is refused unopened. The stream is "wb"; null with `problem` set when not opened.
[[nodiscard]] std::FILE* OpenPipeOrRegularStream(const std::filesystem::path& path,
                                                 std::string* problem);

}  // namespace qorval::platform
