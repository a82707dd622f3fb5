#include "installer/brand_table.h"

#include <cstring>

// Row 0 is the maker's own brand; the others belong to resellers.
const BrandProfile kBrandProfiles[kBrandRowCount] = {
    {0, "Vantrel软件\\", "VantrelPixel|VantrelNotes|VantrelAudio|VantrelVideo|VantrelBackup|VantrelClean|VantrelConvert|VantrelDraw|VantrelFinder|VantrelGuard|VantrelKeeper|VantrelMail|VantrelOffice|VantrelPhoto|VantrelReader|VantrelShot|VantrelSync|VantrelTools|VantrelWriter|VantrelZip|VantrelPlayer|VantrelCorvane"},
    {1, "Ostrel软件\\", "OstrelPixel|OstrelNotes|OstrelAudio|OstrelVideo|OstrelBackup|OstrelClean|OstrelConvert|OstrelDraw|OstrelFinder|OstrelGuard|OstrelKeeper"},
    {2, "Pemaro软件\\", "PemaroNotes"},
    {3, "Quinby软件\\", "QuinbyAudio"},
    {4, "Rastal软件\\", "RastalVideo"},
    {5, "Selvin软件\\", "SelvinBackup"},
    {7, "Tormac\\", "TormacConvert"},
    {8, "Ulvane软件\\", "UlvaneDraw|UlvaneFinder|UlvaneGuard|UlvaneKeeper|UlvaneMail|UlvaneOffice|UlvanePhoto|UlvaneReader|UlvaneShot|UlvaneSync|UlvaneTools"},
    {9, "Vesper软件\\", "VesperFinder"},
    {10, "Wendal软件\\", "WendalGuard"},
    {11, "Xaron软件\\", "XaronKeeper"},
    {13, "Yorvik软件\\", "YorvikOffice"},
    {14, "Zeltra软件\\", "ZeltraPhoto"},
    {15, "Arvant软件\\", "ArvantReader"},
    {16, "Brisco\\", "BriscoShot"},
    {17, "Calder软件\\", "CalderSync"},
    {19, "Dovrel软件\\", "DovrelWriter"},
    {20, "Elstan软件\\", "ElstanZip"},
    {21, "Fenwick软件\\", "FenwickPlayer"},
    {22, "Galvor软件\\", "GalvorCorvane"},
    {23, "Hestra软件\\", "HestraPixel"},
    {24, "Istrel软件\\", "IstrelNotes|IstrelAudio|IstrelVideo|IstrelBackup|IstrelClean|IstrelConvert|IstrelDraw|IstrelFinder|IstrelGuard|IstrelKeeper|IstrelMail|IstrelOffice|IstrelPhoto|IstrelReader|IstrelShot|IstrelSync"},
    {25, "Jorvan软件\\", "JorvanAudio|JorvanVideo|JorvanBackup|JorvanClean|JorvanConvert|JorvanDraw|JorvanFinder|JorvanGuard|JorvanKeeper|JorvanMail|JorvanOffice|JorvanPhoto|JorvanReader|JorvanShot|JorvanSync|JorvanTools|JorvanWriter|JorvanZip|QuickAudio"},
    {28, "Kestal软件\\", "KestalClean|KestalConvert|KestalDraw|KestalFinder|KestalGuard|KestalKeeper|KestalMail|KestalOffice|KestalPhoto|KestalReader|KestalShot|KestalSync|KestalTools|KestalWriter|KestalZip|KestalPlayer|KestalCorvane|KestalPixel|KestalNotes"},
    {29, "Lumeno\\", "LumenoConvert|LumenoDraw|LumenoFinder|LumenoGuard|LumenoKeeper|LumenoMail|LumenoOffice|LumenoPhoto|LumenoReader|LumenoShot|LumenoSync|LumenoTools|LumenoWriter|LumenoZip|LumenoPlayer|LumenoCorvane|LumenoPixel|LumenoNotes|LumenoAudio"},
    {33, "Morval软件\\", "MorvalKeeper|MorvalMail|MorvalOffice|MorvalPhoto|MorvalReader|MorvalShot|MorvalSync|MorvalTools|MorvalWriter|MorvalZip|MorvalPlayer|MorvalCorvane|MorvalPixel|MorvalNotes|MorvalAudio|MorvalVideo|MorvalBackup|MorvalClean|MorvalConvert"},
    {34, "Norden软件\\", "NordenMail|NordenOffice|NordenPhoto|NordenReader|NordenShot|NordenSync|NordenTools|NordenWriter|NordenZip|NordenPlayer|NordenCorvane|NordenPixel|NordenNotes|NordenAudio|NordenVideo|NordenBackup|NordenClean|NordenConvert|NordenDraw|NordenFinder"},
    {35, "Orlent软件\\", "OrlentOffice|OrlentPhoto|OrlentReader|OrlentShot|OrlentSync|OrlentTools|OrlentWriter|OrlentZip|OrlentPlayer|OrlentCorvane|OrlentPixel|OrlentNotes|OrlentAudio|OrlentVideo|OrlentBackup|OrlentClean|OrlentConvert|OrlentDraw|OrlentFinder|QuickOffice"},
};

const BrandProfile* FindBrandProfile(int32_t key) {
  for (const BrandProfile& row : kBrandProfiles)
    if (row.key == key) return &row;
  return nullptr;
}

int ProductCount(const char* productList) {
  if (!productList || !*productList) return 0;
  int count = 1;
  for (const char* p = productList; *p; ++p)
    if (*p == '|') ++count;
  return count;
}

int BrandSelectionError(int32_t brandKey, int32_t productIndex) {
  const BrandProfile* row = FindBrandProfile(brandKey);
  int count = row ? ProductCount(row->productList) : 0;
  if (productIndex < 1) return 4;
  if (productIndex > count) return 1;
  return 0;
}
