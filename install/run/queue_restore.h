#pragma once

#include "platform/queue_record.h"
#include "platform/spooler_service.h"

#include "install/run/queue_backup.h"

// Makes a saved queue again: its driver put back from the driver store where it is gone, the
// queue with its settings, device mode and printer data. False (logged) when the queue could not
// be made. Whether it becomes the default again is the caller's to decide: only where nobody
// chose another default since.
bool MakeQueueAgain(const QueueRecord& record);

// Deletes the queue of this name, and only the queue: its driver stays for the queue made in its
// place. False (logged) when the spooler refused.
bool DeleteQueue(const std::wstring& name);

// Makes the queue of this name the default printer; logged either way. `why` ends the log line.
bool MakeDefaultAgain(const std::wstring& name);

// The mark of a saved queue being made again: its own name, device and driver.
MakingMark MarkOf(const QueueRecord& record);
// The device of a queue as a record holds it: the Windows port, or the CUPS device URI.
std::wstring DeviceOf(const QueueRecord& record);
// Whether an installed queue (as read) is the one a mark says was being made.
bool MatchesMark(const QueueRecord& installed, const MakingMark& mark);

// Whether the queue of the record's name is installed now as the record holds it (the default
// flag left aside), installed with other settings, gone, or whether the spooler could not tell.
// `installed` gets what was read of a queue that is there.
enum class SavedQueueMatch { kAsSaved, kDiffers, kGone, kUnknown };
SavedQueueMatch MatchSavedQueue(const QueueRecord& saved, QueueRecord& installed);
