#pragma once

#include <string>
#include <vector>

// What a run as root takes from its environment. Root's environment may come from another
// account (sudo keeps some variables, a service manager's unit may name any folder), and libcups
// and the program read files, sockets and folders that these variables name: a PPD fetched into
// TMPDIR, the test page from CUPS_DATADIR, the scheduler at CUPS_SERVER, client.conf in
// CUPS_SERVERROOT and ~/.cups (HOME), the backends in CUPS_SERVERBIN. Each is taken only where no
// other account could have put or changed what it names.

// Why root must not use this value of the variable; empty when it may.
//   TMPDIR: a folder of root's alone, or a shared sticky folder of root's itself (as /tmp), since
//           temporary files are made there under names nobody can take first and read back
//           through the descriptor that made them.
//   CUPS_SERVER: a domain socket in a folder of root's alone, or a loopback address: a socket
//           another account owns is a scheduler of theirs, whose "queues" would land in root's
//           backups, and another machine's scheduler holds no queue of this one.
//   CUPS_DATADIR, CUPS_SERVERROOT, CUPS_SERVERBIN, HOME: a folder of root's alone.
std::string WhyNotForRoot(const std::string& variable, const std::string& value);

// For a run as root: every variable above whose value root must not use is removed from the
// environment, so that libcups and the program fall back to their defaults; one notice each,
// saying why. Nothing for any other account, whose own files these are.
std::vector<std::string> VetRootEnvironment();
