#include "LivePage.h"

std::vector<HttpRoute> LivePageRoutes()
{
    std::vector<HttpRoute> routes;
    for (const EmbeddedAsset& asset : LivePageAssets())
        routes.push_back(AssetRoute(asset));
    return routes;
}
