#include "output/ToneGenerator.h"
#include "ui/SenderApp.h"

// The one application object, made before main() like every static object.
kestrin::CSenderApp theApp;

int main(int argc, char** argv)
{
    // Opened in the background: a machine without sound takes over 100 ms to say so, and the
    // window must not wait for it. Closed when main returns, even while a tone still sounds.
    kestrin::ToneGenerator tones;
    tones.OpenAsync();
    theApp.SetToneFunction(tones.AsToneFunction());
    return kestrin::RunApplication(argc, argv);
}
