#pragma once

#include <pappl/pappl.h>

// The two drivers, named after the setup data's families, as `drivers` lists them.
extern pappl_pr_driver_t g_escpDrivers[2];

// The printer's own language, which raw jobs are in.
constexpr char kEscpMimeType[] = "application/vnd.escp";

// Fills PAPPL's driver data for one of the drivers: media, sources, resolutions, black only,
// and the raster and raw callbacks. False for a name that is not one of ours.
bool FillEscpDriverData(const char* driverName, pappl_pr_driver_data_t* data);

// The filter of untyped data that the MIME callback did not find to be ESC/P: the job ends with
// document-format-error rather than PAPPL's bare "unable to process".
bool RefuseUntypedData(pappl_job_t* job, pappl_device_t* device, void* data);

// The MIME callback: data that begins with ESC is ESC/P, so that a raw job sent as
// application/octet-stream goes to the printer unchanged; anything else is left untyped.
const char* EscpMimeType(const unsigned char* header, size_t size, void* data);
