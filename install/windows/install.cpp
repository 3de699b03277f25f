#include "setupdata/setup_context.h"

int32_t SetupContext::Install() {
    ResolveDriverInfPath();
    // Detection and the model check run on a context of their own, so that nothing of the user's
    // choices in this one changes while the installation worker runs.
    const SetupContext local;
    CString model;
    CString series;
    const int32_t usbPrinterFound = local.DetectUsbPrinterModel(model);
    const int32_t modelListed = local.FindModelSeries(series, model.c_str());
    // A connected printer that reports a model the setup data lists is installed by the
    // Plug-and-Play update; everything else by the printer UI on the chosen port. The update's
    // failure is final: the other path is not tried.
    if (usbPrinterFound != 0 && modelListed != 0)
        return InstallByPnp() != 0 ? 1 : 0;
    return InstallByPrintUi(nullptr, nullptr) != 0 ? 1 : 0;
}
