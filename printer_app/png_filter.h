#pragma once

#include <pappl/pappl.h>

// Prints a PNG job through the drivers. It stands in for PAPPL 1.3's own PNG filter, whose error
// path reads the file again after a libpng error and so loops for ever on a cut or corrupt PNG,
// holding the printer: here any libpng error ends the job with document-format-error, and an
// image larger than the system's limits is refused before anything is allocated.
bool FilterPng(pappl_job_t* job, pappl_device_t* device, void* data);
