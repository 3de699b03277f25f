#include "printer_app/png_filter.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

void LogPngError(png_structp png, png_const_charp message) {
    papplLogJob(static_cast<pappl_job_t*>(png_get_error_ptr(png)), PAPPL_LOGLEVEL_ERROR, "PNG: %s",
                message);
    png_longjmp(png, 1);
}

void LogPngWarning(png_structp png, png_const_charp message) {
    papplLogJob(static_cast<pappl_job_t*>(png_get_error_ptr(png)), PAPPL_LOGLEVEL_WARN, "PNG: %s",
                message);
}

bool Refuse(pappl_job_t* job, pappl_jreason_t reason, const char* why) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why);
    papplJobSetMessage(job, "%s", why);
    papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
    return false;
}

// The libpng reader of one file, destroyed however the reading ends.
struct CPngReader {
    explicit CPngReader(pappl_job_t* job)
        : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, job, LogPngError, LogPngWarning)),
          info(png != nullptr ? png_create_info_struct(png) : nullptr) {}
    ~CPngReader() { png_destroy_read_struct(&png, &info, nullptr); }
    CPngReader(const CPngReader&) = delete;
    CPngReader& operator=(const CPngReader&) = delete;

    png_structp png;
    png_infop info;
};

// Reads the image as 8-bit grey over white. False, with the job's reason set, when the file is
// not a whole PNG or the image is too large.
bool ReadGray(pappl_job_t* job, std::FILE* file, std::vector<unsigned char>& pixels, int& width,
              int& height, int& ppi) {
    CPngReader reader(job);
    if (reader.info == nullptr)
        return Refuse(job, PAPPL_JREASON_ERRORS_DETECTED, "Cannot read the PNG image.");
    png_structp png = reader.png;
    // Nothing that needs destroying is made between here and the reads: a libpng error jumps
    // back here, and the reader's destructor runs when the function returns.
    if (setjmp(png_jmpbuf(png)))
        return Refuse(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR,
                      "The PNG image is damaged or cut short.");
    png_init_io(png, file);
    png_read_info(png, reader.info);
    width = static_cast<int>(png_get_image_width(png, reader.info));
    height = static_cast<int>(png_get_image_height(png, reader.info));
    int maxWidth = 0;
    int maxHeight = 0;
    const size_t maxSize = papplSystemGetMaxImageSize(
        papplPrinterGetSystem(papplJobGetPrinter(job)), &maxWidth, &maxHeight);
    if (width < 1 || height < 1 || width > maxWidth || height > maxHeight ||
        static_cast<size_t>(width) * static_cast<size_t>(height) > maxSize)
        return Refuse(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
                      "The PNG image is too large to print.");
    ppi = static_cast<int>(png_get_x_pixels_per_inch(png, reader.info));
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_rgb_to_gray_fixed(png, 1, -1, -1);
    png_color_16 white = {};
    white.gray = 255;
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_set_interlace_handling(png);
    png_read_update_info(png, reader.info);
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 255);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)];
    png_read_image(png, rows.data());
    return true;
}

}  // namespace

bool FilterPng(pappl_job_t* job, pappl_device_t* device, void*) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(papplJobGetFilename(job), "rb"),
                                                         &std::fclose);
    if (!file)
        return Refuse(job, PAPPL_JREASON_ERRORS_DETECTED, "Cannot open the job's file.");
    std::vector<unsigned char> pixels;
    int width = 0;
    int height = 0;
    int ppi = 0;
    if (!ReadGray(job, file.get(), pixels, width, height, ppi))
        return false;
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, false);
    const bool printed =
        papplJobFilterImage(job, device, options, pixels.data(), width, height, 1, ppi, false);
    papplJobDeletePrintOptions(options);
    return printed;
}
