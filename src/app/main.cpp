#include "app/CPanelixApp.h"

int main(int argc, char** argv) {
    CPanelixApp app(argc, argv);
    return app.InitInstance();
}
