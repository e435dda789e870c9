CREATE TABLE a (x INT); INSERT INTO a VALUES ('1;2'); -- done
/* c /* d */ e */ SELECT :p1, :p2::text, 1 -- x