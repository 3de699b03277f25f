#pragma once

#include "platform/queue_record.h"
#include "platform/spooler_service.h"

// Makes a saved queue again: its driver put back from the driver store where it is gone, the
// queue with its settings, device mode and printer data, and the default printer again when it
// was. False (logged) when the queue could not be made; a default that could not be set again is
// only warned of, since the queue itself is back.
bool MakeQueueAgain(const QueueRecord& record);

// Whether the queue of the record's name is installed now as the record holds it (the default
// flag left aside), installed with other settings, gone, or whether the spooler could not tell.
// `installed` gets what was read of a queue that is there.
enum class SavedQueueMatch { kAsSaved, kDiffers, kGone, kUnknown };
SavedQueueMatch MatchSavedQueue(const QueueRecord& saved, QueueRecord& installed);
