// The organizer-kit library. Its classes live in the sub-folders; this file
// only gives the library a version symbol of its own.
extern "C" const char* kestrovaVersion()
{
    return "0.1.0";
}
