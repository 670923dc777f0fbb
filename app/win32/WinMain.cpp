#include "output/ToneGenerator.h"
#include "settings/AtomicFile.h"
#include "ui/framework/win32/Win32.h"
#include "ui/windows/SenderApp.h"

// The one application object, made before WinMain like every static object.
kestrin::CSenderApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    kestrin::LetWritesPastTheSizeLimitFail();
    // Opened in the background, so that the window does not wait for the sound device. Closed
    // when WinMain returns, even while a tone still sounds.
    kestrin::ToneGenerator tones;
    tones.OpenAsync();
    theApp.SetToneFunction(tones.AsToneFunction());
    theApp.SetSendStarting(tones.AsPrepareFunction());
    return kestrin::RunApplication();
}
