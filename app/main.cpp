#include "ui/SenderApp.h"

// The one application object, made before main() like every static object.
kestrin::CSenderApp theApp;

int main(int argc, char** argv)
{
    return kestrin::RunApplication(argc, argv);
}
