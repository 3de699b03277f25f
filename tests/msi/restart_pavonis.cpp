// Stands in for pavonis.exe in the installer package's test: an install whose Plug-and-Play
// update asked for a restart, which Wine's update never does. It ends as pavonis.exe then ends.
int main() {
    return 3010;
}
