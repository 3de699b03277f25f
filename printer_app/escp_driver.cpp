#include "printer_app/escp_driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "printer_app/escp_job.h"
#include "printer_app/escp_mode.h"

pappl_pr_driver_t g_escpDrivers[2] = {
    {"korvel_24pin", "Korvel 24-pin dot matrix (ESC/P, 180 dpi)", nullptr, nullptr},
    {"korvel_9pin", "Korvel 9-pin dot matrix (ESC/P, 120 or 240 x 72 dpi)", nullptr, nullptr},
};

namespace {

// Continuous forms are fed by the tractor, cut sheets by hand; a tractor form of a cut sheet's
// size (8.5 x 11 inch) is told apart by its source.
constexpr char kTractor[] = "tractor";
constexpr char kSheet[] = "manual";
constexpr char kContinuous[] = "continuous";
constexpr char kStationery[] = "stationery";
const char* const kMedia[] = {"iso_a4_210x297mm", "na_letter_8.5x11in", "oe_9.5x11_9.5x11in",
                              "na_10x11_10x11in"};
// An eighth of an inch at the sides, a sixth at the top and bottom (hundredths of millimetres).
constexpr int kSideMargin = 318;
constexpr int kTopBottomMargin = 423;

bool WriteAll(pappl_device_t* device, const std::string& bytes) {
    return bytes.empty() || papplDeviceWrite(device, bytes.data(), bytes.size()) ==
                                static_cast<ssize_t>(bytes.size());
}

CEscpJob* JobOf(pappl_job_t* job) {
    return static_cast<CEscpJob*>(papplJobGetData(job));
}

// Ends the job with a reason its submitter can read.
bool Refuse(pappl_job_t* job, pappl_jreason_t reason, const std::string& why) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s.", why.c_str());
    papplJobSetMessage(job, "%s.", why.c_str());
    papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
    return false;
}

bool StartJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
    papplJobSetData(job, new CEscpJob(papplPrinterGetDriverName(papplJobGetPrinter(job))));
    return true;
}

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
    std::string problem;
    if (!JobOf(job)->StartPage(PageFormatOf(options->header), problem))
        return Refuse(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, "Cannot print " + problem);
    return true;
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned y,
               const unsigned char* line) {
    JobOf(job)->WriteRow(y, line);
    return true;
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device, unsigned) {
    std::string bytes;
    std::string problem;
    if (!JobOf(job)->EndPage(bytes, problem))
        return Refuse(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                      "The document is cut short: " + problem);
    return WriteAll(device, bytes);
}

bool EndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
    CEscpJob* escp = JobOf(job);
    papplJobSetData(job, nullptr);
    if (escp == nullptr)
        return false;
    std::string bytes;
    escp->EndJob(bytes);
    delete escp;
    const bool written = WriteAll(device, bytes);
    papplDeviceFlush(device);
    return written;
}

// A raw job's file goes to the printer byte for byte.
bool PrintRawFile(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
    const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Refuse(job, PAPPL_JREASON_ERRORS_DETECTED, "Cannot open the job's file");
    char buffer[65536];
    ssize_t count = 0;
    bool written = true;
    while (written && (count = read(fd, buffer, sizeof buffer)) > 0)
        written = papplDeviceWrite(device, buffer, static_cast<size_t>(count)) == count;
    close(fd);
    papplDeviceFlush(device);
    return written && count == 0;
}

void SetMedia(pappl_media_col_t& media, const char* size, const char* source, const char* type) {
    pwg_media_t* pwg = pwgMediaForPWG(size);
    media.bottom_margin = media.top_margin = kTopBottomMargin;
    media.left_margin = media.right_margin = kSideMargin;
    media.size_width = pwg->width;
    media.size_length = pwg->length;
    std::strncpy(media.size_name, size, sizeof media.size_name - 1);
    std::strncpy(media.source, source, sizeof media.source - 1);
    std::strncpy(media.type, type, sizeof media.type - 1);
}

}  // namespace

bool FillEscpDriverData(const char* driverName, pappl_pr_driver_data_t* data) {
    const bool is24Pin = std::strcmp(driverName, kMode24Pin.driverName) == 0;
    if (!is24Pin && std::strcmp(driverName, kMode9Pin120.driverName) != 0)
        return false;
    std::strncpy(data->make_and_model,
                 is24Pin ? "Korvel 24-pin dot matrix" : "Korvel 9-pin dot matrix",
                 sizeof data->make_and_model - 1);
    data->rstartjob_cb = StartJob;
    data->rstartpage_cb = StartPage;
    data->rwriteline_cb = WriteLine;
    data->rendpage_cb = EndPage;
    data->rendjob_cb = EndJob;
    data->printfile_cb = PrintRawFile;
    data->format = kEscpMimeType;
    data->ppm = 1;
    data->ppm_color = 0;
    data->kind = PAPPL_KIND_DOCUMENT;
    data->color_supported =
        static_cast<pappl_color_mode_t>(PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME);
    data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
    // The driver dithers the grey itself; black-and-white 1-bit rasters are not taken, since
    // they would reach it unmarked among the grey ones.
    data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    const EscpMode* modes[] = {&kMode24Pin, &kMode9Pin120, &kMode9Pin240};
    for (const EscpMode* mode : modes) {
        if (std::strcmp(mode->driverName, driverName) != 0)
            continue;
        data->x_resolution[data->num_resolution] = mode->xDpi;
        data->y_resolution[data->num_resolution] = mode->yDpi;
        ++data->num_resolution;
    }
    data->x_default = data->x_resolution[0];
    data->y_default = data->y_resolution[0];
    data->left_right = kSideMargin;
    data->bottom_top = kTopBottomMargin;
    data->num_media = static_cast<int>(sizeof kMedia / sizeof kMedia[0]);
    for (int i = 0; i < data->num_media; ++i)
        data->media[i] = kMedia[i];
    data->num_source = 2;
    data->source[0] = kTractor;
    data->source[1] = kSheet;
    // PAPPL refuses driver data without a media type, so both kinds of paper are named.
    data->num_type = 2;
    data->type[0] = kContinuous;
    data->type[1] = kStationery;
    SetMedia(data->media_ready[0], "na_letter_8.5x11in", kTractor, kContinuous);
    SetMedia(data->media_ready[1], "iso_a4_210x297mm", kSheet, kStationery);
    data->media_default = data->media_ready[1];
    return true;
}

bool RefuseUntypedData(pappl_job_t* job, pappl_device_t*, void*) {
    return Refuse(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                  "The document is neither ESC/P (which begins with ESC) nor a format the printer "
                  "converts");
}

const char* EscpMimeType(const unsigned char* header, size_t size, void*) {
    return size > 0 && header[0] == 0x1b ? kEscpMimeType : nullptr;
}
