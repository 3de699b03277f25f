#pragma once

#include <string>

// The file that --log names, for a copy of a run's log. A run with rights that another account
// lacks must not be made to write where that account points it: through a link to a file of the
// system's, into a file the account reads, or into a folder it can change.

// Whether the file may take the copy: a regular file of the running account, or of the system or
// its administrators, or a name not yet taken; for a privileged run in a folder that no other
// account can change. False with the reason, in a sentence for the user, in `why`. Checked before
// the run touches anything.
bool CheckLogCopyFile(const std::wstring& path, std::wstring& why);

// Appends `bytes` to the file, made for the running account alone when missing (0600; on Windows
// the system and administrators alone), never through a link. Done only once the run held its
// lock, so that a run that waited in vain writes nothing.
bool AppendToLogCopy(const std::wstring& path, const std::string& bytes);
