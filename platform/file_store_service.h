#pragma once

#include <cstdint>
#include <string>

#include "platform/text_types.h"

// The program's own folders for what outlives a run (the backups of replaced queues, the setup
// logs), below the machine's folder for program data. Only the system and administrators may
// write there: a standard user who could plant or change a file in it could make a later run with
// administrator rights restore a queue of the user's choosing. A failing call records its name and
// the system's error (RecordPlatformFailure) before it returns.
class IFileStoreService {
  public:
    virtual ~IFileStoreService() = default;

    // Makes sure that the program's own folder, the parent of every folder PrepareFolder makes,
    // is one that only the system and administrators can change, before anything is kept in it
    // or locked there. A folder of that name that anybody else made or may change is moved aside,
    // under its name with ".untrusted-<universal time>Z-<random>" added (a name nobody can make
    // first), and a new one is made: `movedAside`
    // then names where the old one went (empty otherwise). Where the folders are checked one by
    // one as they are prepared, there is nothing to do. False when the folder cannot be made
    // trustworthy.
    virtual bool SecureProgramFolder(std::wstring& movedAside) = 0;

    // Makes the folder `folder` (one plain name such as "Backups") of the program's own folder,
    // each with access for the system and administrators only. A folder that exists already is
    // used only when it has that owner and no wider rights, and is no link; otherwise false.
    virtual bool PrepareFolder(const wchar_t* folder) = 0;

    // The full path of the file `name` in `folder`, as a person would find it.
    virtual std::wstring PathOf(const wchar_t* folder, const wchar_t* name) = 0;

    // Appends the names of the plain files in `folder` to `names`, sorted by name.
    virtual bool ListFiles(const wchar_t* folder, StringList& names) = 0;

    // Makes `bytes` the whole content of the file, as one step: the new content is written beside
    // it and moved into its place, so that a failure leaves the old content whole.
    virtual bool WriteFile(const wchar_t* folder, const wchar_t* name,
                           const std::string& bytes) = 0;

    // Appends `bytes` to the file, making it when it does not exist.
    virtual bool AppendFile(const wchar_t* folder, const wchar_t* name,
                            const std::string& bytes) = 0;

    // The whole content of the file. A file that is a link, or that somebody other than the
    // system or an administrator owns, is not read.
    virtual bool ReadFile(const wchar_t* folder, const wchar_t* name, std::string& bytes) = 0;

    // The first `most` bytes of the file (all of it when it is shorter) and in `size` the size of
    // the whole file, the rest unread: what a caller needs to refuse a file too large to read
    // whole. The files ReadFile refuses are refused.
    virtual bool ReadFileHead(const wchar_t* folder, const wchar_t* name, size_t most,
                              std::string& head, uint64_t& size) = 0;

    virtual bool DeleteFile(const wchar_t* folder, const wchar_t* name) = 0;

    // Why accounts other than the system and the administrators (on Linux, other than root) may
    // change the folder `path`, given in Windows form, and so what a run with full rights reads
    // from it (the setup folder, the driver's folder) between its checks and its use; empty when
    // only they may, or when it cannot be told. Nothing is recorded.
    virtual std::wstring WhyOthersMayChange(const wchar_t* path) = 0;
};
