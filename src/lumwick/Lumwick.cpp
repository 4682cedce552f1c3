// The setup-wizard library. Its panes and device experts live beside this file.
extern "C" const char* lumwickVersion()
{
    return "0.1.0";
}
