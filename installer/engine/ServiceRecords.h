// A server instance's service as a journal record and back: the record
// keeps everything a rollback needs to register the service again as it was.
#pragma once

#include "engine/Journal.h"
#include "environment/Services.h"

namespace engine {

// The record of `kind` that keeps `service`; ServiceFromJournal reads it back.
JournalRecord ToJournal(const environment::ServiceRecord& service, const wchar_t* kind);
environment::ServiceRecord ServiceFromJournal(const JournalRecord& record);

}  // namespace engine
