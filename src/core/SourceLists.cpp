#include "core/SourceLists.h"
#include "core/layouts/Layout.h"
#include "core/Files.h"
#include "core/Text.h"
#include <algorithm>

namespace sf {

namespace {

// Loads one list file when it exists; the built-in lines otherwise.
bool FillItems(const std::string& path, const std::vector<std::string>& builtIn, std::vector<std::string>& items,
               std::string* error)
{
    if (!FileExists(path)) {
        items = builtIn;
    } else {
        std::string bytes;
        if (!ReadFileBytes(path, bytes)) {
            if (error)
                *error = "Cannot read " + path;
            return false;
        }
        items = SplitLines(bytes);
    }
    SortItems(items);
    return true;
}

} // namespace

const std::vector<std::string>& BuiltInRadars()
{
    static const std::vector<std::string> radars = {
        "!!ConUS,Iowa State University", "!!USRad,Texas A&M Universtity",
        "AK,Kenai,AHG", "AK,Middleton Island,AIH",
        "AL,Maxwell AFB,MXX", "AL,Fort Rucker,EOX", "AL,Mobile,MOB", "AL,Huntsville,HTX", "AL,Birmingham,BMX",
        "AR,Little Rock,LZK", "AR,Fort Smith,SRX",
        "AZ,Flagstaff,FSX", "AZ,Tucson,EMX", "AZ,Phoenix,IWA", "AZ,Yuma,YUX",
        "CA,Beale AFB,BBX", "CA,Edwards AFB,EYX", "CA,Eureka,BHX", "CA,San Joaquin Valley,HNX",
        "CA,McClellan AFB/Sacremento,DAX", "CA,San Francisco,MUX", "CA,San Diego,NKX", "CA,Santa Ana Mountains,SOX",
        "CA,Los Angeles,VTX", "CA,Vandenberg AFB,VBX",
        "CO,Denver,FTG", "CO,Grand Junction,GJX", "CO,Pueblo,PUX",
        "DE,Dover AFB,DOX",
        "FL,Jacksonville,JAX", "FL,Key West,BYX", "FL,Melbourne,MLB", "FL,Miami,AMX", "FL,Eglin AFB,EVX",
        "FL,Tampa Bay,TBW", "FL,Tallahassee,TLH",
        "GA,Moody AFB,VAX", "GA,Atlanta,FFC", "GA,Robins AFB,JGX",
        "HI,Kamuela,HKM", "HI,Molokai,HMO", "HI,South Shore,HWA", "HI,South Kauai,HKI",
        "IA,Des Moines,DMX", "IA,Quad Cities,DVN",
        "ID,Boise,CBX", "ID,Pocatello/Idaho Falls,SFX",
        "IL,Central (Springfield),ILX", "IL,Chicago,LOT",
        "IN,Indianapolis,IND", "IN,Northern Indiana,IWX",
        "KS,Dodge City,DDC", "KS,Goodland,GLD", "KS,Topeka,TWX", "KS,Wichita,ICT",
        "KY,Louisville,LVX", "KY,Fort Campbell,HPX", "KY,Jackson,JKL", "KY,Paducah,PAH",
        "LA,Fort Polk,POE", "LA,Lake Charles,LCH", "LA,Shreveport,SHV", "LA,New Orleans,LIX",
        "MA,Boston,BOX",
        "ME,Houlton,CBW", "ME,Portland,GYX",
        "MI,Gaylord,APX", "MI,Grand Rapids,GRR", "MI,Marquette,MQT", "MI,Detroit,DTX",
        "MN,Chanhassen Township/Minn-St.P,MPX", "MN,Duluth,DLH",
        "MO,Kansas City,EAX", "MO,Springfield,SGF", "MO,St. Louis,LSX",
        "MS,Columbus AFB,GWX", "MS,Jackson/Brandon,DGX",
        "MT,Billings,BLX", "MT,Glasgow,GGW", "MT,Great Falls,TFX", "MT,Missoula,MSX",
        "NB,North Platte,LNX",
        "NC,Morehead City,MHX", "NC,Wilmington,LTX", "NC,Raleigh/Durham,RAX",
        "ND,Bismarck,BIS", "ND,Grand Forks,MVX", "ND,Minot AFB,MBX",
        "NE,Hastings,UEX", "NE,Omaha,OAX",
        "NJ,Fort Dix/Philadelphia,DIX",
        "NM,Cannon AFB,FDX", "NM,Holloman AFB,HDX", "NM,Albuquerque,ABX",
        "NV,Elko,LRX", "NV,Las Vegas,ESC", "NV,Reno,RGX",
        "NY,Binghamton,BGM", "NY,New York City/Upton,OKX", "NY,Buffalo,BUF", "NY,Albany,ENX", "NY,Fort Drum,TYX",
        "OH,Cleveland,CLE", "OH,Cincinnati/Wilmington,ILN",
        "OK,Frederick,FDR", "OK,Tulsa,INX", "OK,Oklahoma City,TLX", "OK,Vance AFB,VNX",
        "OR,Medford,MAX", "OR,Pendleton,PDT", "OR,Portland,RTX",
        "PA,Pittsburgh,PBZ", "PA,State College,CCX",
        "PR,San Juan,JUA",
        "SC,Charleston,CLX", "SC,Columbia,CAE", "SC,Greenville/Spartanburg,GSP",
        "SD,Aberdeen,ABR", "SD,Rapid City,UDX", "SD,Sioux Falls,FSD",
        "TN,Knoxville/Tri-Cities,MRX", "TN,Memphis,NQA", "TN,Nashville,OHX",
        "TX,Amarillo,AMA", "TX,Laughlin AFB,DFX", "TX,Brownsville,BRO", "TX,Fort Hood,GRK", "TX,Corpus Christi,CRP",
        "TX,El Paso,EPZ", "TX,Houston/Galveston,HGX", "TX,Lubbock,LBB", "TX,Midland/Odessa,MAF", "TX,Dyess AFB,DYX",
        "TX,Austin/San Antonio,EWX", "TX,San Angelo,SJT", "TX,Dallas/Fort Worth,FWS",
        "UT,Cedar City,ICX", "UT,Salt Lake City,MTX",
        "VA,Roanoke/Blacksburg,FCX", "VA,Wakefield/Norfolk,AKQ",
        "VA/Washington DC,Sterling,LWX",
        "VT,Burlington,CXX",
        "WA,Seattle/Tacoma,ATX", "WA,Spokane,OTX",
        "WI,Green Bay,GRB", "WI,La Crosse,ARX", "WI,Milwaukee,MKX",
        "WV,Charleston,RLX",
        "WY,Cheyenne,CYS", "WY,Riverton,RIW",
    };
    return radars;
}

const std::vector<std::string>& BuiltInProducts()
{
    static const std::vector<std::string> products = {
        "N0S, Storm Relative Motion", "N0V, Velocity",           "N0Z, Long Range Reflectivity ",
        "N1P, 1 Hour Precipitation",  "NCR, Short Range Composite", "NTP, Storm Total Precipitation",
    };
    return products;
}

void SortItems(std::vector<std::string>& items)
{
    std::stable_sort(items.begin(), items.end(),
                     [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

bool LoadSourceLists(TShared& s, std::string* error)
{
    // Each layout offers its own products unless Products.txt names them.
    const std::vector<std::string>& products = LayoutOf(s.Layout).Products();
    std::vector<std::string> items;
    if (!FillItems(s.ProgramDir + "Products.txt", products, items, error))
        return false;
    s.ProductCmb.Items = items;
    // The TDWR sites are offered only by the layout that publishes them; the default
    // layout's list stays as it is.
    std::vector<std::string> radars = BuiltInRadars();
    if (LayoutOf(s.Layout).OffersTdwr())
        radars.insert(radars.end(), IemTdwrRadars().begin(), IemTdwrRadars().end());
    if (!FillItems(s.ProgramDir + "Radars.txt", radars, items, error))
        return false;
    s.RadarCmb.Items = items;
    return true;
}

} // namespace sf
