#include "util/string_table.h"

#include "util/vendor.h"

// The connect-error text carries the vendor's download page in its middle.
#define TORVANE_1494                                                            \
  "Torvane was unable to connect to the Kite-HQ Server to download the latest " \
  "version information. Please check the network connection, try again later, " \
  "or visit " TORVANE_DOWNLOAD_PAGE " to obtain the latest upgrade info."

const StringTableEntry kStringTable[] = {
    {1441, "Unable to open the specified Browser. Please check the Torvane Configuration."},
    {1443, "Browser Error"},
    {1444, "Not Searched"},
    {1445, "Unable to Load Engines File 'engines.dat'"},
    {1446, "Kite %i Hunting for Filez"},
    {1447, "%i files found"},
    {1448, "Newsflash from Kite HQ"},
    {1449, "Message from Kite HQ"},
    {1450, "Unable to open file 'torva.ini'"},
    {1451, "Error"},
    {1452, "ERROR: Failed to initialize Winsock"},
    {1453, "ERROR 101: Failed to initialize Winsock"},
    {1454, "Find"},
    {1456, "Cancel"},
    {1457, "Unable to write report file"},
    {1458, "Out of Memory"},
    {1459, "Winsock Error (%i)"},
    {1461, "Transferred %li Bytes"},
    {1462, "Downloading: %li"},
    {1463, "Requesting Object Header"},
    {1464, "Winsock Error %i"},
    {1465, "Request send Failed (%i)"},
    {1466, "Connected to Proxy -> Host"},
    {1467, "Connected to %s"},
    {1468, "HOST"},
    {1469, "Address translation error"},
    {1470, "Winsock Error %i (%i)"},
    {1471, "Connect Failed (%i)"},
    {1472, "Connect Fail - The server may be down. Please try again later!"},
    {1473, "Unable to get socket (waiting)"},
    {1474, "Hunt is Complete"},
    {1475, "FTP file Search Complete. No matching files found."},
    {1476, " Perhaps a substring search may yield better results."},
    {1477, "Message"},
    {1478, "Connection Refused"},
    {1479, "Connect Timeout"},
    {1480, "Winsock Error %i (%i)"},
    {1481, "Host Not Found"},
    {1482, "Timeout Error...(Retry)"},
    {1483, "Timeout Error...(Abort)"},
    {1484, "Timeout Connecting to Engine"},
    {1485, "Please Create or Open a project first."},
    {1486, "No Active Project"},
    {1487, "Window resizing failed!"},
    {1488, "Status"},
    {1489, "Hunt Cancelled"},
    {1491, "%s version %s"},
    {1492, "Build: "},
    {1493, "Connecting to Host. Please Wait........."},
    {1494, TORVANE_1494},
    {1495, "Connect Error"},
    {1496, "Build: %03i"},
    {1497, "Torvane - Online Version Check"},
    {1503, "Unable to write upgrade file"},
    {1504, "Do you wish to delete the current Search project?"},
    {1505, "Confirmation"},
    {1506, "Open Project"},
    {1508, "Save Torvane Search As"},
    {1509, "Unable to write Save File"},
    {1510, "Enter a list of Keywords to Search For"},
    {1517, "Contacting Proxy -> %s"},
    {1518, "Contacting %s"},
    {1519, "Request Error (%.30s)"},
    {1520, "Unable to open file 'intro.htm'"},
    {1521, "Unable to open file 'results.htm'"},
    {1522, "Search Results"},
    {1523, "Unable to open file 'menu.htm'"},
    {1524, "Search Results Menu"},
    {1525, "<td bgcolor=\"#50898F\" valign=top><font color=\"#FFFFFF\">Filename:</font></td>"},
    {1526, "<td bgcolor=\"#50898F\"><font color=\"#FFFFFF\">Size:</font></td>"},
    {1527, "<td bgcolor=\"#50898F\"><font color=\"#FFFFFF\">Date:</font></td>"},
    {1528, "<td bgcolor=\"#50898F\"><font color=\"#FFFFFF\">Location:</font></td></tr>"},
    {1529, "<b><font color=\"900010\">%s Search Results: &nbsp;&nbsp;&nbsp;"},
    {1530, "%i <i>unique files found</i>"},
    // Status texts of a request the builder refuses to send.
    {1531, "Request refused: the search term is too long"},
    {1532, "Request refused: the request is too long"},
    {1533, "Request refused: the port is not between 1 and 65535"},
    // A data file's line over the readers' bound; read up to the line before.
    {1534, "Line %i of '%s' is longer than %i bytes. The file was read up to the line before it."},
    // More requests the builder refuses: nothing from a template, a home
    // page or a redirect target may end the request line or start a header.
    {1535, "Request refused: the address holds a blank or a control character"},
    {1536, "Request refused: the home page address holds a control character"},
    {1537, "Request refused: a template with /POST or $HTTP must read /POST target $HTTPbody"},
    {1538, "Request refused: the address is empty"},
    // Every job ends: one that runs too long, one that receives too much.
    {1539, "Timeout Error...(Abort): the job ran longer than %li seconds"},
    {1540, "Request Error (the answer is larger than %li bytes)"},
    // The Program Database upgrade: the new version, or why soft.dat was kept.
    {1541, "Program Database Upgrade"},
    {1542, "The Program Database is now version %s."},
    {1543,
     "The Program Database was not upgraded: %s The catalogue in use (soft.dat) is unchanged."},
    {1544, "the server answered \"%s\"."},
    {1545, "the download was cut off before its end."},
    {1546,
     "the download is no Program Database (a VERSION= line and at least one entry are needed)."},
    {1547, "soft.dat could not be replaced."},
    {1548, "the server was not found."},
    {1549, "the server could not be reached."},
    {1550, "the server did not answer in time."},
    {1551, "the answer was refused (too large, or redirected too often)."},
    {1552, "no answer came."},
    {1553, "its address is not an http:// address."},
    {1554, "The announced download address can't be opened: %s"},
};

const int kStringTableSize = static_cast<int>(sizeof kStringTable / sizeof kStringTable[0]);

const char* FindTableText(int id) {
  int lo = 0;
  int hi = kStringTableSize - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    if (kStringTable[mid].id == id) return kStringTable[mid].text;
    if (kStringTable[mid].id < id) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return nullptr;
}
