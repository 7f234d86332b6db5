/* Tablets' database: the tables the tablets' software owns.
   Run by tools/prepare-data.sh after CREATE DATABASE ... DEFAULT CHARACTER SET WIN1252.
   FECHAR, CONFIG, PROMOCAO and GERAID are not here: the program creates them at start-up. */

/* Items typed on a tablet (COZINHA '9') and bill requests (COZINHA '7'). */
CREATE TABLE mesa (
    id      INTEGER NOT NULL PRIMARY KEY,
    mesa    VARCHAR(20) CHARACTER SET WIN1252,
    imp     VARCHAR(1) CHARACTER SET WIN1252,
    COZINHA VARCHAR(1) CHARACTER SET WIN1252,
    vend    VARCHAR(10) CHARACTER SET WIN1252,
    codigo  VARCHAR(20) CHARACTER SET WIN1252,
    Nomep   VARCHAR(50) CHARACTER SET WIN1252,
    Quant   DOUBLE PRECISION,
    Valor   DOUBLE PRECISION,
    Texto   VARCHAR(100) CHARACTER SET WIN1252
);

/* Extras of an item. */
CREATE TABLE complemento (
    idmesa      INTEGER,
    complemento VARCHAR(50) CHARACTER SET WIN1252
);

COMMIT;
