#include "app/DocumentServices.h"

#include "devicewindow/media/MediaCenterMain.h"

bool DocumentServices::checkForMediaProzesses(int& conversions, int& transfers) const
{
    return MediaCenterMain::checkAllForMediaProzesses(conversions, transfers);
}
