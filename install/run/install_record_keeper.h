#pragma once

#include <string>

class CQueueBackup;

// Keeps a printer's install record true to its queue after a run changed the queues: deployment
// engines read the record as "installed", with its port and driver version, without asking the
// print system. What the last look at the queue of the printer's name sees decides:
// - no queue: the record goes;
// - the queue saved in `madeAgainFrom`, made again from it (a restore, a rollback): the record
//   that journal kept of it, with the port the queue has now, or none when it kept that there was
//   none;
// - any other queue: a record that is there keeps what it says but takes the queue's port; none
//   is made, since nothing tells which model and driver the queue is.
// A look that fails changes nothing. Where this system keeps no records there is nothing to do.
void MatchInstallRecord(const std::wstring& printer, const CQueueBackup* madeAgainFrom = nullptr);
