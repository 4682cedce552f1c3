#include "lumwick/ModelQuery.h"

namespace {

class NoModelQuery : public ModelQuery {
public:
    int qvIDForBTAddress(const QString&, int) override { return -1; }
    int qvIDForUSBAddress(const QString&) override { return -1; }
    QString modelNameForQVID(int) override { return {}; }
    QString deviceTypeForQVID(int) override { return {}; }
};

ModelQuery* installed = nullptr;

} // namespace

ModelQuery& ModelQuery::shared()
{
    static NoModelQuery none;
    return installed ? *installed : none;
}

void ModelQuery::setShared(ModelQuery* query)
{
    installed = query;
}
