// The smallest host: loads the driver plug-in as a host does, hands it a SQLite database and
// registers one point of each type code given, then shows what the handlers wrote.
//
//   qxdemo [--lib PATH] [--db PATH] [TYPE...]     (TYPE decimal or 0x-hex; default 0x500)
#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "ISMBase.h"
#include "ISMManager.h"
#include "Plugins.h"
#include "PointItem.h"
#include "SqliteDb.h"

#ifndef QX_DEFAULT_LIB
#define QX_DEFAULT_LIB "libqxsm.so"
#endif

namespace {

// The library's texts are GBK; the terminal's are UTF-8.
std::string Utf8(const char* gbk) {
    std::string out;
    if (!gbk) return out;
    iconv_t cd = iconv_open("UTF-8", "GBK");
    if (cd == (iconv_t)-1) return gbk;
    std::string in(gbk);
    std::vector<char> buf(in.size() * 3 + 4);
    char* src = &in[0];
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size() - 1;
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == (size_t)-1) out = "?";
    else out.assign(buf.data(), dst - buf.data());
    iconv_close(cd);
    return out;
}

int Usage() {
    fprintf(stderr, "usage: qxdemo [--lib PATH] [--db PATH] [TYPE...]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string lib = QX_DEFAULT_LIB, dbPath = ":memory:";
    std::vector<int> types;
    for (int i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--lib") && i + 1 < argc) lib = argv[++i];
        else if (!strcmp(argv[i], "--db") && i + 1 < argc) dbPath = argv[++i];
        else if (argv[i][0] >= '0' && argv[i][0] <= '9') types.push_back((int)strtol(argv[i], nullptr, 0));
        else return Usage();
    }
    if (types.empty()) types.push_back(0x500);

    qxhost::SmPlugin sm;
    if (!sm.Load(lib)) {
        fprintf(stderr, "qxdemo: %s\n", sm.Error().c_str());
        return 1;
    }
    printf("%s, type %d, version %d\n", sm.DllNote(), sm.DllType(), sm.DllVersion());

    qxhost::SqliteDb db;
    if (!db.Open(dbPath) || !db.CreateHostTables()) {
        fprintf(stderr, "qxdemo: database %s: %s\n", dbPath.c_str(), db.Error().c_str());
        return 1;
    }
    ISMManager* manager = sm.GetSMManager(0);
    if (!manager) {
        fprintf(stderr, "qxdemo: no manager\n");
        return 1;
    }
    manager->SetDb(&db, 0);

    int sid = 1, served = 0;
    for (int type : types) {
        fflush(stdout);
        ISMBase* h = manager->GetSM(type);
        if (!h) {
            printf("type 0x%X: no handler\n", type);
            continue;
        }
        served++;
        h->SetDb(&db, 0);
        h->RegDb(&db, 0);
        qxhost::PointItem item(sid++, type);
        item.Name("demo point").Addr(1);
        int chk = h->ChkDb(item);
        printf("type 0x%X: handler %p reports 0x%X, model \"%s\", %d values, ChkDb %d\n", type,
               (void*)h, h->GetType(), Utf8(h->GetNote()).c_str(), h->DataSize(), chk);
    }
    printf("rows: tbSMType %d, tbSMDef %d, tbSMBrief %d\n",
           db.QueryInt("select count(*) from tbSMType"), db.QueryInt("select count(*) from tbSMDef"),
           db.QueryInt("select count(*) from tbSMBrief"));
    fflush(stdout);
    sm.FreeSMManager();
    sm.Unload();
    return served > 0 ? 0 : 3;
}
