// Placeholder until the SMS codec lands; keeps the library non-empty.
namespace kestrova::sms {
int codecRevision()
{
    return 1;
}
} // namespace kestrova::sms
