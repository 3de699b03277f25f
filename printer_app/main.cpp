#include "platform/services.h"
#include "platform/standin/posix_program_path_service.h"
#include "platform/standin/standin_profile_service.h"
#include "printer_app/printer_application.h"

// The setup data (the model table of `autoadd`) is read with the profile stand-in, from the setup
// folder the package installs beside the program.
int main(int argc, char** argv) {
    CStandInProfileService profile;
    CPosixProgramPathService programPath;
    PlatformServices services;
    services.profile = &profile;
    services.programPath = &programPath;
    CScopedServices scope(services);
    CPrinterApplication application;
    return application.Run(argc, argv);
}
