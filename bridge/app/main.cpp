// padlink: the bridge between the POS front end and the handheld base
// stations. Started by the front end with its window title as command line.
#include "app/bridge_app.h"

int main(int argc, char** argv) { return padlink::runBridge(argc, argv); }
