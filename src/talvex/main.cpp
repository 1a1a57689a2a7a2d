// Entry point: hands over to the application main function.
#include "talvex/ApplicationMain.h"

int main(int argc, char** argv) {
    return talvex::applicationMain(argc, argv);
}
